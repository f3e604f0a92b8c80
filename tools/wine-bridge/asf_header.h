// The file-level attributes of an ASF file, read from its Header Object.
//
// Plain C++ on a byte span: no Windows headers, so the same code is unit
// tested and fuzzed natively. Every read is bounded by the bytes given and by
// the declared size of the object it lies in; a damaged object ends the walk
// and keeps what was read before it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// The value types, numbered as the media runtime numbers them, so that a
// header view can hand them on unchanged.
enum AsfValueType : uint16_t {
    kAsfDword = 0,
    kAsfString = 1,   // UTF-16LE, always ending in one zero unit
    kAsfBinary = 2,
    kAsfBool = 3,     // 32 bits, 0 or 1
    kAsfQword = 4,
    kAsfWord = 5,
    kAsfGuid = 6,
};

struct AsfAttribute {
    std::u16string name;         // without a terminator, never empty
    AsfValueType type;
    std::vector<uint8_t> value;  // little-endian, as the runtime hands it out
};

// A header view reports value lengths in 16 bits: longer values are skipped.
enum { kAsfMaxValueBytes = 0xFFFF };

// The size declared by the Header Object at the start of data, or 0 when the
// bytes do not begin with one (fewer than 30 bytes, another object, or a
// declared size below 30).
uint64_t AsfHeaderSize(const uint8_t *data, size_t size);

// Reads the attributes of the Header Object at the start of data, in this
// order: from the File Properties Object "Duration" (play duration less the
// preroll, 100-ns units), "Bitrate", "Seekable", "Broadcast" and "FileSize";
// from the Content Description Object "Title", "Author", "Copyright",
// "Description" and "Rating" (the non-empty ones); every descriptor of the
// Extended Content Description Object as stored; then the stream-0 records of
// the Metadata and Metadata Library Objects inside the Header Extension
// Object. False when data does not begin with a Header Object.
bool ParseAsfHeader(const uint8_t *data, size_t size, std::vector<AsfAttribute> *attributes);
