#include "asf/asf_refusal.h"

#include <string.h>

#include "asf/asf_probe.h"

namespace {

typedef uint8_t Guid[16];

// Ids in the byte order the file stores them.
const Guid kDataObject = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
// 2211B3FB-BD23-11D2-B4B7-00A0C955FC6E, 298AE614-2622-4C17-B935-DAE07EE9289C,
// 2211B3FC-BD23-11D2-B4B7-00A0C955FC6E, 9A04F079-9840-4286-AB92-E65BE0885F95.
const Guid kProtection[] = {
    {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E},
    {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C, 0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C},
    {0xFC, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E},
    {0x79, 0xF0, 0x04, 0x9A, 0x40, 0x98, 0x86, 0x42, 0xAB, 0x92, 0xE6, 0x5B, 0xE0, 0x88, 0x5F, 0x95},
};

enum : uint64_t {
    kObjectHeadBytes = 24,  // id and 64-bit size
    kHeaderHeadBytes = 30,  // plus the count of children and two reserved bytes
    kDataHeadBytes = 50,    // what the demuxer reads of the Data Object before any packet
    kMostChildren = 256,    // far more than any real header holds
};

uint64_t Little(const uint8_t *bytes, unsigned count) {
    uint64_t value = 0;
    for (unsigned i = count; i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

bool IsProtection(const uint8_t *id) {
    for (const Guid &protection : kProtection)
        if (memcmp(id, protection, sizeof(Guid)) == 0) return true;
    return false;
}

}  // namespace

bool AsfHeaderRefused(AsfReadFn read, void *context, uint64_t fileSize) {
    uint8_t head[kDataHeadBytes];
    size_t got = read(context, 0, head, kHeaderHeadBytes);
    if (!StartsAsAsf(head, got)) return false;
    if (got < kHeaderHeadBytes) return true;
    uint64_t headerSize = Little(head + 16, 8);
    uint64_t children = Little(head + 24, 4);
    if (headerSize < kHeaderHeadBytes || headerSize > fileSize) return true;
    if (children > kMostChildren) return false;

    uint64_t at = kHeaderHeadBytes;
    for (uint64_t child = 0; child < children; ++child) {
        if (headerSize - at < kObjectHeadBytes || read(context, at, head, kObjectHeadBytes) != kObjectHeadBytes)
            return true;
        uint64_t size = Little(head + 16, 8);
        if (size < kObjectHeadBytes || size > headerSize - at || IsProtection(head)) return true;
        at += size;
    }
    return fileSize - headerSize < kDataHeadBytes ||
           read(context, headerSize, head, kDataHeadBytes) != kDataHeadBytes ||
           memcmp(head, kDataObject, sizeof(Guid)) != 0;
}
