// The input-module interface as the Velmor player sees it. Declared here on
// the player's side, on its own, so that running a module through this host
// checks that both sides agree on every offset and table position.
//
// Both tables are indexed by position; each entry is a plain cdecl function
// (the caller removes the arguments) taking the object first.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define PLAYER_CALL __cdecl
#else
#define PLAYER_CALL
#endif

extern "C" {

// The record the player hands to GetFileInfo (the player allocates it).
struct PlayerFileInfo {
    char title[256];        // zero-terminated ANSI text
    uint32_t fileSize;      // bytes
    int32_t seekable;
    int32_t reserved;
    uint32_t durationMs;
    uint32_t bitrate;       // bits per second
    int32_t sampleRate;     // the PCM format the stream will deliver
    int32_t channels;
    int32_t bitsPerSample;
};

struct PlayerModule;
struct PlayerStream;

struct PlayerStreamTable {
    // Bytes now available at *data; 0 at the end.
    uint32_t(PLAYER_CALL *read)(PlayerStream *stream, const uint8_t **data);
    // The position on success, 0 on failure.
    int32_t(PLAYER_CALL *seek)(PlayerStream *stream, int32_t positionMs);
    void(PLAYER_CALL *unused2)(void);
    void(PLAYER_CALL *unused3)(void);
    void(PLAYER_CALL *close)(PlayerStream *stream);
};

struct PlayerModuleTable {
    const char *(PLAYER_CALL *description)(void);
    PlayerStream *(PLAYER_CALL *openStream)(PlayerModule *module, const char *fileName, int32_t reserved);
    int32_t(PLAYER_CALL *getFileInfo)(PlayerModule *module, const char *fileName, int32_t reserved,
                                      PlayerFileInfo *info);
    void(PLAYER_CALL *unused3)(void);
    int32_t(PLAYER_CALL *canHandle)(PlayerModule *module, const char *fileName);
    // Pairs of zero-terminated texts (description, pattern), ended by an
    // empty text.
    const char *(PLAYER_CALL *filterText)(void);
    int32_t(PLAYER_CALL *configure)(PlayerModule *module);
    intptr_t(PLAYER_CALL *showAbout)(PlayerModule *module);
    void(PLAYER_CALL *release)(PlayerModule *module);
};

// The player only ever looks at the first word of either object.
struct PlayerModule {
    const PlayerModuleTable *table;
};
struct PlayerStream {
    const PlayerStreamTable *table;
};

// The one export: (the library's instance handle, the owner window).
typedef PlayerModule *(PLAYER_CALL *PlayerGetModuleFn)(void *instance, void *parentWindow);

}  // extern "C"

#define PLAYER_EXPORT_NAME "Velmor_GetInputModule2"

static_assert(sizeof(PlayerFileInfo) == 288, "the information record is 288 bytes");
static_assert(offsetof(PlayerFileInfo, fileSize) == 256, "fileSize follows the 256-byte title");
static_assert(offsetof(PlayerFileInfo, seekable) == 260, "seekable at 260");
static_assert(offsetof(PlayerFileInfo, reserved) == 264, "reserved at 264");
static_assert(offsetof(PlayerFileInfo, durationMs) == 268, "durationMs at 268");
static_assert(offsetof(PlayerFileInfo, bitrate) == 272, "bitrate at 272");
static_assert(offsetof(PlayerFileInfo, sampleRate) == 276, "sampleRate at 276");
static_assert(offsetof(PlayerFileInfo, channels) == 280, "channels at 280");
static_assert(offsetof(PlayerFileInfo, bitsPerSample) == 284, "bitsPerSample at 284");

static_assert(sizeof(PlayerModuleTable) == 9 * sizeof(void *), "nine module entries, nothing between");
static_assert(sizeof(PlayerStreamTable) == 5 * sizeof(void *), "five stream entries, nothing between");
static_assert(offsetof(PlayerModuleTable, release) == 8 * sizeof(void *), "Release is entry 8");
static_assert(offsetof(PlayerStreamTable, close) == 4 * sizeof(void *), "Close is entry 4");
#if !defined(_WIN64)
// The 32-bit player: 4-byte words everywhere.
static_assert(sizeof(void *) == 4, "the player is 32-bit");
static_assert(sizeof(PlayerModuleTable) == 36, "module table of 36 bytes");
static_assert(sizeof(PlayerStreamTable) == 20, "stream table of 20 bytes");
static_assert(offsetof(PlayerModuleTable, canHandle) == 16, "CanHandle at byte 16");
static_assert(offsetof(PlayerModuleTable, configure) == 24, "Configure at byte 24");
static_assert(sizeof(PlayerModule) == 4 && sizeof(PlayerStream) == 4, "objects begin with a 4-byte table pointer");
#endif
