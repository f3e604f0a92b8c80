#include "script.h"

#include "objects.h"

#include <string.h>

namespace {

struct Script {
    std::vector<ScriptedFile> files;
    IStream *keptStream = nullptr;
    uint32_t failures = 0;
    int failBufferOf = -1;
    SeekLanding landing = {0, 0};
    int stamps = kStampsEvery10Ms;
    StandinRecord record = {};
};

Script &TheScript() {
    static Script script;
    return script;
}

ScriptedFile *File(int id) {
    Script &script = TheScript();
    if (id < 0 || static_cast<size_t>(id) >= script.files.size()) return nullptr;
    return &script.files[id];
}

// A 44100/2/16 PCM output carrying the next stream number.
void AddOutput(ScriptedFile *file) {
    file->outputs.push_back(OutputFormat{true, 1, 44100, 2, 16, kBlockAsDescribed});  // WAVE_FORMAT_PCM
    file->streams.push_back(static_cast<uint16_t>(file->outputs.size()));
    file->bitrates.push_back(0);
}

void AddAttribute(int id, const wchar_t *name, size_t nameUnits, int type, const void *value, uint16_t length) {
    ScriptedFile *file = File(id);
    if (!file) return;
    ScriptedAttribute attribute;
    attribute.name.assign(name, nameUnits);
    attribute.type = type;
    const uint8_t *bytes = static_cast<const uint8_t *>(value);
    if (bytes) attribute.value.assign(bytes, bytes + length);
    file->attributes.push_back(attribute);
}

}  // namespace

StandinRecord &Record() { return TheScript().record; }

SeekLanding Landing() { return TheScript().landing; }

int Stamps() { return TheScript().stamps; }

bool Failing(uint32_t failure) { return (TheScript().failures & failure) != 0; }

bool BufferFails(uint32_t sampleIndex) {
    return Failing(kFailGetBufferAndLength) || TheScript().failBufferOf == static_cast<int>(sampleIndex);
}

const ScriptedFile *FindFile(const wchar_t *name) {
    for (const ScriptedFile &file : TheScript().files)
        if (file.name == name) return &file;
    return nullptr;
}

const ScriptedFile *FindFileHolding(const std::vector<uint8_t> &bytes) {
    for (const ScriptedFile &file : TheScript().files) {
        HANDLE disk = CreateFileW(file.name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (disk == INVALID_HANDLE_VALUE) continue;
        std::vector<uint8_t> held(bytes.size() + 1);
        DWORD read = 0;
        bool same = ReadFile(disk, held.data(), static_cast<DWORD>(held.size()), &read, nullptr) &&
                    read == bytes.size() && memcmp(held.data(), bytes.data(), read) == 0;
        CloseHandle(disk);
        if (same) return &file;
    }
    return nullptr;
}

STANDIN_API void Standin_Reset(void) {
    Script &script = TheScript();
    StandinRecord alive = script.record;
    script.files.clear();
    script.failures = 0;
    script.failBufferOf = -1;
    script.landing = SeekLanding{0, 0};
    script.stamps = kStampsEvery10Ms;
    script.record = StandinRecord();
    script.record.readersAlive = alive.readersAlive;
    script.record.buffersAlive = alive.buffersAlive;
    script.record.propsAlive = alive.propsAlive;
}

STANDIN_API int Standin_DefineFile(const wchar_t *name) {
    ScriptedFile file;
    file.name = name;
    AddOutput(&file);
    TheScript().files.push_back(file);
    return static_cast<int>(TheScript().files.size() - 1);
}

STANDIN_API void Standin_AddSample(int id, uint32_t size) { Standin_AddSampleOn(id, 0, size); }

STANDIN_API void Standin_AddSampleOn(int id, uint32_t output, uint32_t size) {
    ScriptedFile *file = File(id);
    if (!file) return;
    file->sampleSizes.push_back(size);
    file->sampleOutputs.push_back(output);
}

// A mixing hash of index and offset: a byte that is shifted, repeated,
// dropped or taken from another sample almost never matches.
STANDIN_API uint8_t Standin_SampleByte(uint32_t sampleIndex, uint32_t offset) {
    uint32_t x = offset * 0x9E3779B1u + sampleIndex * 0x85EBCA77u + 0x165667B1u;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return static_cast<uint8_t>(x >> 8);
}

STANDIN_API void Standin_AddAttribute(int id, const wchar_t *name, int type, const void *value, uint16_t length) {
    AddAttribute(id, name, wcslen(name) + 1, type, value, length);
}

STANDIN_API void Standin_AddRawAttribute(int id, const wchar_t *name, uint16_t nameUnits, int type,
                                         const void *value, uint16_t length) {
    AddAttribute(id, name, nameUnits, type, value, length);
}

STANDIN_API void Standin_SetOutputFormat(int id, uint16_t formatTag, uint32_t sampleRate, uint16_t channels,
                                         uint16_t bitsPerSample) {
    Standin_SetOutput(id, 0, 1, formatTag, sampleRate, channels, bitsPerSample);
}

STANDIN_API void Standin_SetFormatBlock(int id, int block) {
    if (ScriptedFile *file = File(id)) file->outputs[0].block = block;
}

STANDIN_API void Standin_SetOutput(int id, uint32_t output, int audio, uint16_t formatTag, uint32_t sampleRate,
                                   uint16_t channels, uint16_t bitsPerSample) {
    ScriptedFile *file = File(id);
    if (!file) return;
    while (file->outputs.size() <= output) AddOutput(file);
    file->outputs[output] = OutputFormat{audio != 0, formatTag, sampleRate, channels, bitsPerSample,
                                         file->outputs[output].block};
}

STANDIN_API void Standin_SetOutputStream(int id, uint32_t output, uint16_t stream, uint32_t bitrate) {
    ScriptedFile *file = File(id);
    if (!file || output >= file->outputs.size()) return;
    file->streams[output] = stream;
    file->bitrates[output] = bitrate;
}

STANDIN_API void Standin_AddGroupStream(int id, uint32_t output, uint16_t stream, uint32_t bitrate) {
    ScriptedFile *file = File(id);
    if (!file || output >= file->outputs.size()) return;
    file->grouped.push_back(GroupStream{stream, output, bitrate});
}

STANDIN_API void Standin_OfferOutputFormat(int id, uint32_t output, uint16_t formatTag, uint32_t sampleRate,
                                           uint16_t channels, uint16_t bitsPerSample) {
    ScriptedFile *file = File(id);
    if (!file) return;
    if (file->offered.size() <= output) file->offered.resize(output + 1);
    file->offered[output].push_back(
        OutputFormat{true, formatTag, sampleRate, channels, bitsPerSample, kBlockAsDescribed});
}

STANDIN_API void Standin_AcceptOutputProps(int id, int accept) {
    if (ScriptedFile *file = File(id)) file->acceptsProps = accept != 0;
}

void KeepStream(IStream *stream) {
    if (TheScript().keptStream) TheScript().keptStream->Release();
    TheScript().keptStream = stream;
}

STANDIN_API long Standin_ReadKeptStream(void) {
    IStream *stream = TheScript().keptStream;
    if (!stream) return S_FALSE;
    TheScript().keptStream = nullptr;
    LARGE_INTEGER start = {};
    HRESULT status = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    uint8_t byte;
    ULONG read = 0;
    if (SUCCEEDED(status)) status = stream->Read(&byte, 1, &read);
    stream->Release();
    return status;
}

STANDIN_API void Standin_SetSeekLanding(int64_t shift, uint64_t floor) { TheScript().landing = SeekLanding{shift, floor}; }

STANDIN_API void Standin_SetStamps(int stamps) { TheScript().stamps = stamps; }

STANDIN_API void Standin_SetFailures(uint32_t failures) { TheScript().failures = failures; }

STANDIN_API void Standin_FailBufferOf(int sampleIndex) { TheScript().failBufferOf = sampleIndex; }

STANDIN_API void Standin_GetRecord(StandinRecord *record) {
    if (record) *record = TheScript().record;
}
