// The stand-in's scripted world: the files tests define, the failure
// switches, and the record of what the plug-in did. Shared by the objects.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "standin_control.h"

// Samples start 10 ms apart, in 100-ns units.
enum : uint32_t { kSampleSpacing = 100000 };

struct ScriptedAttribute {
    std::wstring name;  // the units sent, terminator included when there is one
    int type;           // WMT_ATTR_DATATYPE
    std::vector<uint8_t> value;
};

struct OutputFormat {
    bool audio;          // false: the output's media type is video
    uint16_t formatTag;  // 0: GetOutputProps fails
    uint32_t sampleRate;
    uint16_t channels;
    uint16_t bitsPerSample;
    int block;  // StandinFormatBlock
};

// A stream in a group with an output's (Standin_AddGroupStream), shown by no output.
struct GroupStream {
    uint16_t stream;
    uint32_t output;  // the output that shows the group
    uint32_t bitrate;
};

struct ScriptedFile {
    std::wstring name;
    std::vector<uint32_t> sampleSizes;
    std::vector<uint32_t> sampleOutputs;  // the output of each sample
    std::vector<ScriptedAttribute> attributes;
    std::vector<OutputFormat> outputs;
    std::vector<uint16_t> streams;   // by output: the stream it carries (n + 1 unless scripted)
    std::vector<uint32_t> bitrates;  // by output: its stream's bit rate in the profile (0: unknown)
    std::vector<GroupStream> grouped;  // in the profile, behind outputs that show their group
    std::vector<std::vector<OutputFormat>> offered;  // by output: what GetOutputFormat offers
    bool acceptsProps = false;
};

// Where SetRange lands (see Standin_SetSeekLanding).
struct SeekLanding {
    int64_t shift;
    uint64_t floor;
};
SeekLanding Landing();

// StandinStamps.
int Stamps();

// The record the control API reads back; objects update it directly.
StandinRecord &Record();

// True when the failure switch is on.
bool Failing(uint32_t failure);

// True when GetBufferAndLength must fail for this sample.
bool BufferFails(uint32_t sampleIndex);

// The scripted file with exactly this name, or null.
const ScriptedFile *FindFile(const wchar_t *name);

// The first scripted file whose name is a file on disk holding exactly these
// bytes, or null.
const ScriptedFile *FindFileHolding(const std::vector<uint8_t> &bytes);
