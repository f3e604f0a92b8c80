// Control API of the scripted stand-in media runtime (tests/standin, built as
// wmvcore.dll). A test program links the stand-in's import library, scripts
// files here, then drives the plug-in, which loads the same wmvcore.dll at
// run time and meets the scripted files; afterwards the test reads back what
// the plug-in did.
//
// All names are plain C exports; every call is cheap and thread-unsafe (the
// plug-in is single-threaded per object).
#pragma once

#include <stdint.h>
#include <wchar.h>

#ifdef VIVU_STANDIN_BUILD
#define STANDIN_API extern "C" __declspec(dllexport)
#else
#define STANDIN_API extern "C" __declspec(dllimport)
#endif

// Forgets every scripted file, failure and record; live-object counts stay
// (they count objects the plug-in still holds). Readers keep the file they
// opened until they are closed.
STANDIN_API void Standin_Reset(void);

// Scripts a file: Open succeeds for exactly this UTF-16 name. Returns its id.
STANDIN_API int Standin_DefineFile(const wchar_t *name);

// Appends a decoded sample of `size` bytes to file `id`. Its bytes follow
// Standin_SampleByte(sampleIndex, offset), so a test can check every byte
// it receives. Samples are numbered from 0 in the order added, whatever
// their output; Standin_AddSample puts a sample on output 0.
STANDIN_API void Standin_AddSample(int id, uint32_t size);
STANDIN_API void Standin_AddSampleOn(int id, uint32_t output, uint32_t size);
STANDIN_API uint8_t Standin_SampleByte(uint32_t sampleIndex, uint32_t offset);

// Appends a file-level header attribute, returned by GetAttributeByIndex in
// the order added. `name` is sent with its terminator counted in the name
// length; `type` is a WMT_ATTR_DATATYPE value; the value bytes are copied.
STANDIN_API void Standin_AddAttribute(int id, const wchar_t *name, int type, const void *value,
                                      uint16_t length);
// Like Standin_AddAttribute, but the name is sent as `nameUnits` raw units
// (no terminator is added), for names without one.
STANDIN_API void Standin_AddRawAttribute(int id, const wchar_t *name, uint16_t nameUnits, int type,
                                         const void *value, uint16_t length);

// The PCM format output 0 reports (GetOutputProps/GetMediaType). Files
// report 44100/2/16 PCM until this is called; formatTag 0 makes
// GetOutputProps fail. GetMediaType gives a WM_MEDIA_TYPE followed by a
// WAVEFORMATEX with this tag (subtype: the tag in the base media-subtype
// GUID), or by a WAVEFORMATEXTENSIBLE with the PCM sub-format when the tag
// is WAVE_FORMAT_EXTENSIBLE (0xFFFE).
STANDIN_API void Standin_SetOutputFormat(int id, uint16_t formatTag, uint32_t sampleRate, uint16_t channels,
                                         uint16_t bitsPerSample);
// How file `id`'s format block departs from the format it describes.
enum StandinFormatBlock {
    kBlockAsDescribed = 0,
    kBlockFloatSubFormat,      // an extensible format's sub-format is IEEE float, not PCM
    kBlockShorterThanClaimed,  // cbFormat is a bare WAVEFORMATEX's; the rest of an
                               // extensible format (PCM) still follows it in memory
    kBlockMissing,             // pbFormat is null
};
STANDIN_API void Standin_SetFormatBlock(int id, int block);

// Scripts output `output` of file `id` (adding 44100/2/16 PCM outputs up to
// it): an audio output in this format, or with `audio` 0 a video output.
// Output n carries stream n + 1 unless Standin_SetOutputStream says
// otherwise; SetStreamsSelected switches streams off and on, and
// GetNextSample skips the samples of streams switched off.
STANDIN_API void Standin_SetOutput(int id, uint32_t output, int audio, uint16_t formatTag, uint32_t sampleRate,
                                   uint16_t channels, uint16_t bitsPerSample);
// Numbers outputs apart from streams, as Windows' runtime does (it may list
// stream 2 as output 0): output `output` of file `id` carries stream
// `stream`, whose IWMStreamConfig in the reader's profile (IWMProfile,
// listing the streams by number) gives `bitrate`, or with 0 answers
// GetBitrate with E_NOTIMPL, as Wine's does.
STANDIN_API void Standin_SetOutputStream(int id, uint32_t output, uint16_t stream, uint32_t bitrate);
// Puts stream `stream` in one group with the stream of output `output`: the
// same audio at another bit rate, or in another language, only one of
// which plays. Windows' runtime shows such a group as one output, carrying
// the stream it chose: here the one Standin_SetOutputStream names. The
// group's other streams are in the profile only, with their `bitrate` as
// above; SetStreamsSelected knows only the streams outputs carry.
STANDIN_API void Standin_AddGroupStream(int id, uint32_t output, uint16_t stream, uint32_t bitrate);

// Formats GetOutputFormat offers for output `output` of file `id`, in the
// order added (none until this is called).
STANDIN_API void Standin_OfferOutputFormat(int id, uint32_t output, uint16_t formatTag, uint32_t sampleRate,
                                           uint16_t channels, uint16_t bitsPerSample);
// Whether SetOutputProps takes a plain PCM format for file `id`'s outputs
// (from then on the output reports it); refused until this is called.
STANDIN_API void Standin_AcceptOutputProps(int id, int accept);

// Where SetRange lands, for every reader: on the first sample whose start
// is at or after start + shift (100-ns units, may be negative), and never
// before `floor`. (0, 0), the default, lands on the first sample at or
// after the start.
STANDIN_API void Standin_SetSeekLanding(int64_t shift, uint64_t floor);

// How GetNextSample stamps its samples, for every reader.
enum StandinStamps {
    kStampsEvery10Ms = 0,  // the default: see below
    // As Windows' runtime stamps: a sample's time and duration in whole
    // milliseconds, rounded down, from the bytes of its output before it and
    // its own bytes at the output's format. SetRange then lands on the
    // sample that holds the start (+ shift, never before floor).
    kStampsWholeMs,
};
STANDIN_API void Standin_SetStamps(int stamps);

// Failure switches: each makes the named runtime call return E_FAIL.
enum StandinFailure {
    kFailCreate = 1 << 0,             // WMCreateSyncReader
    kFailOpen = 1 << 1,               // IWMSyncReader::Open (even for scripted files)
    kFailQueryHeaderInfo = 1 << 2,    // QueryInterface for IWMHeaderInfo
    kFailGetAttributeCount = 1 << 3,
    kFailGetAttributeByIndex = 1 << 4,  // the second call, the one with buffers
    kFailGetBufferAndLength = 1 << 5,   // see Standin_FailBufferOf for one sample only
    kFailSetRange = 1 << 6,
    kFailGetNextSample = 1 << 7,
    // Not a failure: GetAttributeByIndex's size query reports each name and
    // value one unit and one byte short, and the call with buffers fills
    // what fits and reports the whole lengths, as a header that grew
    // between the two calls.
    kGrowBetweenCalls = 1 << 8,
    kFailSetStreamsSelected = 1 << 9,
    // Not a failure: a reader opened with OpenStream keeps a reference to
    // the stream after its Close, as a runtime may; see Standin_ReadKeptStream.
    kKeepStream = 1 << 10,
    // Not a failure: Wine 10's reader. A sample comes in pieces of at most
    // 16,384 bytes, the rest kept with its offset until the next
    // GetNextSample. A SetRange or Close that meets a kept rest is Wine's
    // fault, counted in keptRestsMet; after such a SetRange the first
    // sample starts at the stale offset, as Wine's does.
    kWinePieces = 1 << 11,
    kSlowSamples = 1 << 12,  // not a failure: each GetNextSample takes 20 ms
    // Not a failure: OpenStream does not return while this is on, as Wine's
    // may never; switched off, it goes on, reading the stream it was given.
    kHangOpen = 1 << 13,
};
STANDIN_API void Standin_SetFailures(uint32_t failures);
// Makes GetBufferAndLength fail for the sample with this index only (-1: none).
STANDIN_API void Standin_FailBufferOf(int sampleIndex);

// OpenStream reads the whole stream (Stat, Seek, Read) and opens the
// scripted file whose name is a file on disk holding those bytes; its name
// is then the one recorded. The reader holds the stream until its Close.
//
// Reads one byte at offset 0 through the stream the last kKeepStream reader
// kept, then gives that reference back; the status of the read, or S_FALSE
// when no stream was kept.
STANDIN_API long Standin_ReadKeptStream(void);  // an HRESULT

// Unless stamped in whole milliseconds, samples are 10 ms = 100,000 units
// apart, sample i starting at i * 100,000 and lasting 100,000 units, and
// SetRange moves the next sample as Standin_SetSeekLanding says.
//
// Errors the stand-in gives besides E_FAIL: NS_E_NO_MORE_SAMPLES at the end
// of a file, NS_E_FILE_NOT_FOUND for a name that was not scripted,
// NS_E_INVALID_REQUEST for calls on a reader without an open file,
// E_INVALIDARG for a GetAttributeByIndex buffer that is too small or an
// attribute index out of range. Attributes exist for stream 0 only; any
// other stream has none. A scripted sample of length 0 still has a non-null
// data pointer.

// What the plug-in did.
struct StandinRecord {
    int readersCreated;      // WMCreateSyncReader calls that gave a reader
    int readersAlive;        // readers not yet released to a reference count of 0
    int buffersAlive;        // samples handed out and not yet released
    int opens;               // IWMSyncReader::Open calls
    int closes;              // IWMSyncReader::Close calls
    uint32_t lastRights;     // rights passed to WMCreateSyncReader
    int lastCertificateNull; // 1 when the certificate was null
    wchar_t lastOpenName[2048]; // name of the latest Open (cut at 2047 units)
    int setRangeCalls;
    uint64_t lastRangeStart; // 100-ns units
    uint64_t lastRangeDuration;
    int getNextSampleCalls;
    int lastStreamNumberArg;      // stream number passed to GetNextSample
    int lastStreamReceiverNull;   // 1 when the stream-number receiver was null
    int attributeCountCalls;
    int lastAttributeStreamArg;   // stream number passed to GetAttributeCount
    int propsAlive;               // output properties and stream configurations handed out and not yet released
    int attributeByIndexCalls;    // GetAttributeByIndex calls, size queries included
    int lastIndexStreamArg;       // stream number passed in to GetAttributeByIndex
    int streamOpens;              // IWMSyncReader::OpenStream calls (not counted in opens)
    int setOutputPropsCalls;
    uint32_t lastSetRate;         // the format of the latest SetOutputProps
    uint16_t lastSetFormatTag, lastSetChannels, lastSetBits;
    int keptRestsMet;             // kWinePieces: SetRange and Close calls that met a kept rest
};
STANDIN_API void Standin_GetRecord(StandinRecord *record);
inline StandinRecord Standin_Record(void) {
    StandinRecord record;
    Standin_GetRecord(&record);
    return record;
}
