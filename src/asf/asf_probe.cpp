#include "asf/asf_probe.h"

#include <string.h>

namespace {

// 75B22630-668E-11CF-A6D9-00AA0062CE6C, as it is stored in the file.
const uint8_t kHeaderObjectId[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// The header object's id, size, count of objects inside and two reserved bytes.
const uint64_t kSmallestHeader = 30;

}  // namespace

bool StartsAsAsf(const uint8_t *first, size_t count) {
    return count >= sizeof(kHeaderObjectId) && memcmp(first, kHeaderObjectId, sizeof(kHeaderObjectId)) == 0;
}

bool CanStartAsfFile(const uint8_t *first, size_t count, uint64_t fileSize) {
    if (count < kAsfProbeBytes || !StartsAsAsf(first, count)) return false;
    uint64_t headerSize = 0;
    for (int at = 7; at >= 0; --at) headerSize = (headerSize << 8) | first[16 + at];
    return headerSize >= kSmallestHeader && headerSize <= fileSize;
}
