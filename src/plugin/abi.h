// The player-facing ABI of the plug-in, declared once.
//
// The player reaches everything through two tables of plain cdecl functions:
// the module's nine-entry table and each decoding stream's five-entry table.
// It indexes them by position, so order and size are fixed forever, and it
// reads the FileInfo record at fixed 32-bit offsets. Every layout the player
// depends on is pinned by a static_assert below.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define VIVU_CDECL __cdecl

struct InputModule;
struct DecodeStream;
struct FileInfo;

// The module's operation table. Each entry takes the module first (entries
// that need no object ignore their arguments); the caller pops the arguments.
struct ModuleOps {
    // 0: static description text.
    const char *(VIVU_CDECL *GetDescription)(void);
    // 1: a new decoding stream on fileName, or null when out of memory.
    DecodeStream *(VIVU_CDECL *OpenStream)(InputModule *module, const char *fileName, int32_t reserved);
    // 2: fills *info for fileName; always returns 1.
    int32_t (VIVU_CDECL *GetFileInfo)(InputModule *module, const char *fileName, int32_t reserved,
                                      FileInfo *info);
    // 3: unused by the module; returns at once.
    void (VIVU_CDECL *Empty)(void);
    // 4: 1 when the name ends in ".wma" (any case) and is not a network address.
    int32_t (VIVU_CDECL *CanHandle)(InputModule *module, const char *fileName);
    // 5: static filter block: "WMA data\0*.WMA\0\0".
    const char *(VIVU_CDECL *GetFilterText)(void);
    // 6: runs the configuration dialog on the module's settings, then saves
    // them however it was closed (a check-box change is made at once, and
    // survives Cancel) and returns the status of SaveSettings (settings.h).
    int32_t (VIVU_CDECL *Configure)(InputModule *module);
    // 7: runs the About box and returns its result (1 OK, 2 Cancel).
    int32_t (VIVU_CDECL *ShowAbout)(InputModule *module);
    // 8: frees the module; open streams stay usable.
    void (VIVU_CDECL *Release)(InputModule *module);
};

// A decoding stream's operation table.
struct StreamOps {
    // 0: the next chunk of decoded PCM: its byte count, and *data pointing at
    // it until the next call on the stream. 0 at the end and at every read
    // after it, *data then left as it was. A decoded sample comes as a first
    // chunk of at most 40,000 bytes and the rest of it in the next read (in
    // reads of at most 128,000 bytes, for a sample larger than that). Every
    // chunk is whole frames (39,996 bytes for 24-bit stereo): a player that
    // converts chunk by chunk never sees half a frame.
    uint32_t (VIVU_CDECL *Read)(DecodeStream *stream, const uint8_t **data);
    // 1: positionMs on success, 0 on failure.
    int32_t (VIVU_CDECL *Seek)(DecodeStream *stream, int32_t positionMs);
    // 2 and 3: unused; return at once.
    void (VIVU_CDECL *Empty2)(void);
    void (VIVU_CDECL *Empty3)(void);
    // 4: closes and frees the stream; null is ignored.
    void (VIVU_CDECL *Close)(DecodeStream *stream);
};

// The player's information record; the player owns it and the module writes
// nothing past its last byte (offset 287).
struct FileInfo {
    char title[256];        // zero-terminated ANSI text, at most 255 bytes
    uint32_t fileSize;      // bytes (low 32 bits)
    int32_t seekable;       // always 1
    int32_t reserved;       // always 0
    uint32_t durationMs;
    uint32_t bitrate;       // bits per second
    int32_t sampleRate;
    int32_t channels;
    int32_t bitsPerSample;
};

// Signature of the one export, "Velmor_GetInputModule2" (undecorated, cdecl).
// The handles are passed as opaque words so this header needs no Windows headers.
typedef InputModule *(VIVU_CDECL *GetInputModuleFn)(void *instance, void *parentWindow);

// The player is a 32-bit program: these are the sizes it indexes by. The
// test suite may also build this code as 64-bit Windows code (for hosts that
// cannot run 32-bit code); the tables then keep their order, one pointer an
// entry, and the record keeps its layout exactly.
#define VIVU_ENTRY(n) ((n) * sizeof(void *))
#if !defined(_WIN64)
static_assert(sizeof(void *) == 4, "the player is a 32-bit program");
static_assert(sizeof(ModuleOps) == 36, "nine 32-bit module entries");
static_assert(sizeof(StreamOps) == 20, "five 32-bit stream entries");
#endif
static_assert(sizeof(ModuleOps) == VIVU_ENTRY(9), "nine module entries");
static_assert(offsetof(ModuleOps, OpenStream) == VIVU_ENTRY(1), "module entry 1");
static_assert(offsetof(ModuleOps, GetFileInfo) == VIVU_ENTRY(2), "module entry 2");
static_assert(offsetof(ModuleOps, Empty) == VIVU_ENTRY(3), "module entry 3");
static_assert(offsetof(ModuleOps, CanHandle) == VIVU_ENTRY(4), "module entry 4");
static_assert(offsetof(ModuleOps, GetFilterText) == VIVU_ENTRY(5), "module entry 5");
static_assert(offsetof(ModuleOps, Configure) == VIVU_ENTRY(6), "module entry 6");
static_assert(offsetof(ModuleOps, ShowAbout) == VIVU_ENTRY(7), "module entry 7");
static_assert(offsetof(ModuleOps, Release) == VIVU_ENTRY(8), "module entry 8");
static_assert(sizeof(StreamOps) == VIVU_ENTRY(5), "five stream entries");
static_assert(offsetof(StreamOps, Seek) == VIVU_ENTRY(1), "stream entry 1");
static_assert(offsetof(StreamOps, Empty2) == VIVU_ENTRY(2), "stream entry 2");
static_assert(offsetof(StreamOps, Empty3) == VIVU_ENTRY(3), "stream entry 3");
static_assert(offsetof(StreamOps, Close) == VIVU_ENTRY(4), "stream entry 4");
static_assert(offsetof(FileInfo, fileSize) == 256, "FileInfo.fileSize");
static_assert(offsetof(FileInfo, seekable) == 260, "FileInfo.seekable");
static_assert(offsetof(FileInfo, reserved) == 264, "FileInfo.reserved");
static_assert(offsetof(FileInfo, durationMs) == 268, "FileInfo.durationMs");
static_assert(offsetof(FileInfo, bitrate) == 272, "FileInfo.bitrate");
static_assert(offsetof(FileInfo, sampleRate) == 276, "FileInfo.sampleRate");
static_assert(offsetof(FileInfo, channels) == 280, "FileInfo.channels");
static_assert(offsetof(FileInfo, bitsPerSample) == 284, "FileInfo.bitsPerSample");
static_assert(sizeof(FileInfo) == 288, "FileInfo is 288 bytes");
#undef VIVU_ENTRY
