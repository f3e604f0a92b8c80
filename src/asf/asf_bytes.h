// Bounded reading of an ASF file through the one window of its
// AsfHeaderFile, shared by the header walk and the data packet walk. No
// read leaves the file, the window, or the stretch (Span) it is made in.
#pragma once

#include <string.h>

#include "asf/asf_header.h"

namespace asf {

// An object id in the byte order the file stores it.
typedef uint8_t Guid[16];

inline bool Is(const Guid id, const Guid kind) { return memcmp(id, kind, sizeof(Guid)) == 0; }

extern const Guid kDataObject;

enum : uint64_t {
    kObjectHeadBytes = 24,  // an object's id and 64-bit size
    kHeaderHeadBytes = 30,  // the Header Object's, with its count of children and two reserved bytes
    kDataHeadBytes = 50,    // the Data Object's, up to its first packet: file id, packet count, reserved
};

// A stretch of the file that reads never leave. A read that would fails and
// breaks the span, and every later read of it fails too.
struct Span {
    uint64_t at, end;
    bool ok;
};

// Copies count bytes (at most one window) at offset, through the window.
bool Fetch(AsfHeaderFile *file, uint64_t offset, void *out, size_t count);

inline bool Take(AsfHeaderFile *file, Span *span, void *out, size_t count) {
    if (!span->ok || count > span->end - span->at || !Fetch(file, span->at, out, count)) {
        span->ok = false;
        return false;
    }
    span->at += count;
    return true;
}

inline void Skip(Span *span, uint64_t count) {
    if (!span->ok || count > span->end - span->at)
        span->ok = false;
    else
        span->at += count;
}

inline uint64_t Little(const uint8_t *bytes, unsigned count) {
    uint64_t value = 0;
    for (unsigned i = count; i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

// A little-endian number of `bytes` bytes (0 to 8); 0 where it cannot be read.
inline uint64_t Number(AsfHeaderFile *file, Span *span, unsigned bytes) {
    uint8_t raw[8];
    return bytes && Take(file, span, raw, bytes) ? Little(raw, bytes) : 0;
}

inline uint16_t U16(AsfHeaderFile *file, Span *span) { return static_cast<uint16_t>(Number(file, span, 2)); }
inline uint32_t U32(AsfHeaderFile *file, Span *span) { return static_cast<uint32_t>(Number(file, span, 4)); }
inline uint64_t U64(AsfHeaderFile *file, Span *span) { return Number(file, span, 8); }

}  // namespace asf
