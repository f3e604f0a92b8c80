// A Velmor input module with known answers, so that the host's own work
// (the chunk loop, the WAV file, passing a seek) is checked to the byte.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "fake_plugin.h"
#include "player_abi.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct FakeStream {
    const PlayerStreamTable *table;
    uint32_t position;
    uint32_t end;
    uint32_t chunkIndex;
    uint8_t chunk[40000];
};

bool NameHas(const char *name, const char *part) { return name && strstr(name, part) != nullptr; }

std::string PlayerTemplate() {
    char text[256] = "";
    DWORD size = sizeof(text) - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Corvinta\\Velmor", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key, "TrackTitleTemplate", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size))
            text[0] = '\0';
        RegCloseKey(key);
    }
    return text;
}

uint32_t PLAYER_CALL Read(PlayerStream *object, const uint8_t **data) {
    FakeStream *stream = reinterpret_cast<FakeStream *>(object);
    uint32_t size = kFakeChunkSizes[stream->chunkIndex++ % (sizeof(kFakeChunkSizes) / sizeof(kFakeChunkSizes[0]))];
    if (size > stream->end - stream->position) size = stream->end - stream->position;
    for (uint32_t i = 0; i < size; ++i) stream->chunk[i] = FakeStreamByte(stream->position + i);
    stream->position += size;
    *data = stream->chunk;
    return size;
}

int32_t PLAYER_CALL Seek(PlayerStream *object, int32_t positionMs) {
    FakeStream *stream = reinterpret_cast<FakeStream *>(object);
    if (positionMs < 0) return 0;
    uint64_t at = static_cast<uint64_t>(positionMs) * kFakeBytesPerMs;
    stream->position = at < stream->end ? static_cast<uint32_t>(at) : stream->end;
    return positionMs;
}

void PLAYER_CALL Nothing() {}

void PLAYER_CALL Close(PlayerStream *stream) { free(stream); }

const PlayerStreamTable kStreamTable = {Read, Seek, Nothing, Nothing, Close};

const char *PLAYER_CALL Description() { return "Fake module"; }

PlayerStream *PLAYER_CALL OpenStream(PlayerModule *, const char *name, int32_t) {
    if (NameHas(name, "nostream")) return nullptr;
    FakeStream *stream = static_cast<FakeStream *>(calloc(1, sizeof(FakeStream)));
    if (!stream) return nullptr;
    stream->table = &kStreamTable;
    stream->end = NameHas(name, "silent") ? 0 : kFakeStreamBytes;
    return reinterpret_cast<PlayerStream *>(stream);
}

int32_t PLAYER_CALL GetFileInfo(PlayerModule *, const char *name, int32_t, PlayerFileInfo *info) {
    std::string title = "Fake <" + PlayerTemplate() + ">";
    strncpy(info->title, title.c_str(), sizeof(info->title) - 1);
    info->fileSize = kFakeFileSize;
    info->seekable = 1;
    info->durationMs = kFakeDurationMs;
    info->bitrate = kFakeBitrate;
    if (!NameHas(name, "noformat")) {
        info->sampleRate = kFakeSampleRate;
        info->channels = kFakeChannels;
        info->bitsPerSample = kFakeBitsPerSample;
    }
    return 1;
}

int32_t PLAYER_CALL CanHandle(PlayerModule *, const char *name) {
    size_t length = name ? strlen(name) : 0;
    return length >= 5 && _stricmp(name + length - 5, ".fake") == 0;
}

const char *PLAYER_CALL FilterText() { return "Fake data\0*.FAKE\0Other fake\0*.FK\0"; }

int32_t PLAYER_CALL Configure(PlayerModule *) {
    HKEY key;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Corvinta\\Velmor\\VIVu_Velmor", 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    RegSetValueExA(key, "id3ordial", 0, REG_BINARY, &kFakeSavedChoice, 1);
    status = RegSetValueExA(key, "Trackline", 0, REG_SZ, reinterpret_cast<const BYTE *>(FAKE_SAVED_TEMPLATE),
                            sizeof(FAKE_SAVED_TEMPLATE) - 1);
    RegCloseKey(key);
    return status;
}

intptr_t PLAYER_CALL ShowAbout(PlayerModule *) { return kFakeAboutResult; }

void PLAYER_CALL Release(PlayerModule *module) { free(module); }

const PlayerModuleTable kModuleTable = {Description, OpenStream, GetFileInfo, Nothing, CanHandle,
                                        FilterText,  Configure,  ShowAbout,   Release};

}  // namespace

extern "C" __declspec(dllexport) PlayerModule *PLAYER_CALL Velmor_GetInputModule2(void *instance, void *) {
    if (getenv(FAKE_NULL_MODULE_VARIABLE)) return nullptr;
    // A host that passes another handle than the library's own would load
    // the dialogs from the wrong resources: refuse to work with it.
    if (instance != static_cast<void *>(&__ImageBase)) return nullptr;
    PlayerModule *module = static_cast<PlayerModule *>(malloc(sizeof(PlayerModule)));
    if (module) module->table = &kModuleTable;
    return module;
}
