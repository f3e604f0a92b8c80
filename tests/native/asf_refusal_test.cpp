// Which headers Wine's runtime is never asked to open, on files written by
// hand from the ASF layout.
#include "media/asf_refusal.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

std::string Le(uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}

// A GUID as files store it (bc: its second and third fields as one number),
// and a 40-byte object that may claim another size.
std::string Id(uint32_t a, uint32_t bc, uint64_t rest) { return Le(a, 4) + Le(bc, 4) + Le(__builtin_bswap64(rest), 8); }
std::string Padding(uint64_t size = 40) {
    return Id(0x1806D474, 0x4509CADF, 0xA4BA9AABCB96AAE8) + Le(size, 8) + std::string(16, 0);
}
const std::string kEncryption = Id(0x2211B3FB, 0x11D2BD23, 0xB4B700A0C955FC6E) + Le(40, 8) + std::string(16, 0);
const std::string kData = Id(0x75B22636, 0x11CF668E, 0xA6D900AA0062CE6C) + std::string(234, 0);

// A Header Object over `children` that counts `count` of them, then `after`.
bool Refused(const std::string &children, uint32_t count, const std::string &after = kData) {
    std::string file = Id(0x75B22630, 0x11CF668E, 0xA6D900AA0062CE6C) + Le(30 + children.size(), 8) + Le(count, 4) +
                       "\1\2" + children + after;
    AsfReadFn read = [](void *context, uint64_t offset, void *buffer, size_t size) {
        const std::string &bytes = *static_cast<const std::string *>(context);
        size_t count = offset < bytes.size() ? std::min<size_t>(size, bytes.size() - offset) : 0;
        if (count) memcpy(buffer, bytes.data() + offset, count);
        return count;
    };
    return AsfHeaderRefused(read, &file, file.size());
}

TEST(AsfRefusal, WhatTheDemuxerRefusesWhileReadingTheHeader) {
    EXPECT_FALSE(Refused(Padding() + Padding(), 2));
    EXPECT_FALSE(Refused(Padding() + kEncryption, 1)) << "past the count nothing is read";
    EXPECT_TRUE(Refused(Padding() + kEncryption, 2));
    EXPECT_TRUE(Refused(Padding() + Padding(41), 2)) << "a child past the header's end";
    EXPECT_TRUE(Refused(Padding(23), 1)) << "a child shorter than its own head";
    EXPECT_TRUE(Refused(Padding(), 2)) << "fewer children than counted";
    EXPECT_TRUE(Refused(Padding(), 1, Padding())) << "no Data Object after the header";
    EXPECT_TRUE(Refused(Padding(), 1, kData.substr(0, 49))) << "cut inside the Data Object's head";
}

}  // namespace
