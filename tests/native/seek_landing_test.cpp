// Where the audio after a seek starts, against a simulated runtime that
// lands on the sample holding the start and stamps its samples either
// exactly or as Windows' runtime does: time and duration in whole
// milliseconds, rounded down.
#include <gtest/gtest.h>

#include "media/seek_landing.h"

namespace {

const uint32_t kBlockAlign = 4;  // 16-bit stereo

struct Runtime {
    const char *name;
    uint32_t rate;
    uint32_t frames;      // in every sample
    bool wholeMs;         // stamps in whole milliseconds, rounded down
    uint32_t durationMs;  // with wholeMs: this duration instead of the bytes' own (0: theirs)
};

void PrintTo(const Runtime &runtime, std::ostream *out) { *out << runtime.name; }

uint64_t FramesToUnits(uint64_t frames, uint32_t rate, bool wholeMs) {
    return wholeMs ? frames * 1000 / rate * 10000 : frames * kUnitsPerSecond / rate;
}

uint64_t TimeOf(const Runtime &r, uint64_t sample) { return FramesToUnits(sample * r.frames, r.rate, r.wholeMs); }

uint64_t DurationOf(const Runtime &r) {
    return r.durationMs ? r.durationMs * 10000ull : FramesToUnits(r.frames, r.rate, r.wholeMs);
}

// The sample whose frames hold `start`.
uint64_t SampleHolding(const Runtime &r, uint64_t start) {
    return start * r.rate / kUnitsPerSecond / r.frames;
}

// The first frame the player hears after Seek(positionMs), following each
// landing step as the stream does.
uint64_t HeardFrom(const Runtime &r, uint32_t positionMs) {
    uint64_t target = positionMs * 10000ull;
    SeekLanding landing = {target, target, 0, false};
    uint64_t sample = SampleHolding(r, target);
    for (int step = 0; step < 100; ++step, ++sample) {
        LandingStep next =
            NextLandingStep(landing, PcmLayout{r.rate, kBlockAlign}, TimeOf(r, sample), DurationOf(r),
                            r.frames * kBlockAlign);
        switch (next.action) {
            case kDropSample:
                landing.droppedAny = true;
                break;
            case kCutFront:
                return sample * r.frames + next.cutBytes / kBlockAlign;
            case kSeekEarlier:
                landing.asked = next.seekStart;
                ++landing.earlierSeeks;
                sample = SampleHolding(r, next.seekStart) - 1;
                break;
            case kSeekTargetAgain:
                return SampleHolding(r, target) * r.frames;
            case kTakeAsItIs:
                return sample * r.frames;
        }
    }
    ADD_FAILURE() << "no landing";
    return 0;
}

class Landing : public ::testing::TestWithParam<Runtime> {};

// Exact stamps give exactly the frame at the position; whole-millisecond
// stamps carry no more than a millisecond, and so the audio starts at most
// that much after it, never before.
TEST_P(Landing, StartsAtThePositionOrWithinTheMillisecondTheStampsCarry) {
    const Runtime &r = GetParam();
    for (uint32_t positionMs : {0u, 1u, 17u, 500u, 1017u, 2345u, 9999u}) {
        SCOPED_TRACE(positionMs);
        uint64_t wanted = positionMs * static_cast<uint64_t>(r.rate) / 1000;
        uint64_t heard = HeardFrom(r, positionMs);
        EXPECT_GE(heard, wanted);
        EXPECT_LT(heard, wanted + (r.wholeMs ? r.rate / 1000 + 1 : 1));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, Landing,
    ::testing::Values(Runtime{"exact, 2,048 frames at 48 kHz", 48000, 2048, false, 0},
                      Runtime{"exact, 512 frames at 44.1 kHz", 44100, 512, false, 0},
                      Runtime{"whole ms, 2,048 frames at 48 kHz stamped 42 ms", 48000, 2048, true, 0},
                      Runtime{"whole ms, 512 frames at 44.1 kHz stamped 11 ms", 44100, 512, true, 0},
                      Runtime{"whole ms, 512 frames at 44.1 kHz stamped 12 ms", 44100, 512, true, 12}));

}  // namespace
