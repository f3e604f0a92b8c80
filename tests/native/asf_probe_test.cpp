// The first-bytes test that keeps files which start as ASF but cannot be
// whole ASF files away from the media runtime.
#include <gtest/gtest.h>

#include <string.h>

#include "asf/asf_probe.h"

namespace {

struct Start {
    uint8_t bytes[kAsfProbeBytes];
};

Start HeaderOf(uint64_t size) {
    Start start = {{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
    for (int at = 0; at < 8; ++at) start.bytes[16 + at] = static_cast<uint8_t>(size >> (8 * at));
    return start;
}

TEST(AsfProbe, AWholeHeaderPasses) {
    Start start = HeaderOf(5000);
    EXPECT_TRUE(CanStartAsfFile(start.bytes, kAsfProbeBytes, 5000));
    EXPECT_TRUE(CanStartAsfFile(start.bytes, kAsfProbeBytes, 90000));
}

TEST(AsfProbe, HeadersCutShortOrImpossibleFail) {
    Start start = HeaderOf(5000);
    EXPECT_FALSE(CanStartAsfFile(start.bytes, kAsfProbeBytes, 4999)) << "the file ends inside its header";
    EXPECT_FALSE(CanStartAsfFile(start.bytes, 16, 5000)) << "fewer than 24 bytes could be read";
    EXPECT_TRUE(StartsAsAsf(start.bytes, 16)) << "yet it starts as ASF";
    EXPECT_FALSE(StartsAsAsf(start.bytes, 15));
    EXPECT_FALSE(CanStartAsfFile(HeaderOf(29).bytes, kAsfProbeBytes, 5000)) << "smaller than any header";
    EXPECT_FALSE(CanStartAsfFile(HeaderOf(UINT64_MAX).bytes, kAsfProbeBytes, 5000));
}

TEST(AsfProbe, OtherFilesFail) {
    Start start = HeaderOf(5000);
    for (size_t at = 0; at < 16; ++at) {
        Start damaged = start;
        damaged.bytes[at] ^= 0x01;
        EXPECT_FALSE(CanStartAsfFile(damaged.bytes, kAsfProbeBytes, 5000)) << "id byte " << at;
        EXPECT_FALSE(StartsAsAsf(damaged.bytes, kAsfProbeBytes)) << "id byte " << at;
    }
    const uint8_t wave[kAsfProbeBytes] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    EXPECT_FALSE(CanStartAsfFile(wave, kAsfProbeBytes, 5000));
    EXPECT_FALSE(StartsAsAsf(wave, kAsfProbeBytes));
}

}  // namespace
