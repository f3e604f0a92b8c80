#include "media/seek_landing.h"

namespace {

// A sample further than this before where the runtime was asked to start,
// or after the position, is no sign of where the audio stands.
const uint64_t kPlausibleDistance = 5 * kUnitsPerSecond;
// Landed late by less than this, the first extra seek still steps back this
// far: runtimes land on packets, which hold up to about a second. Each
// further one steps back twice as far, up to the most; every step back is
// audio decoded only to be dropped.
const uint64_t kLeastStepBack = kUnitsPerSecond / 2;
const uint64_t kMostStepBack = 4 * kUnitsPerSecond;

uint64_t Distance(uint64_t a, uint64_t b) { return a > b ? a - b : b - a; }

// Frames from the file's start to `time`, rounded down or to the nearest.
// Split at whole seconds, so no product overflows for any plausible time.
uint64_t FramesAt(uint64_t time, uint32_t rate, bool nearest) {
    uint64_t part = (time % kUnitsPerSecond) * rate + (nearest ? kUnitsPerSecond / 2 : 0);
    return time / kUnitsPerSecond * rate + part / kUnitsPerSecond;
}

// The runtime's word for the sample is usable when it lies between a few
// seconds before where it was asked to start and a few seconds after the
// position, and its duration agrees with its bytes within a frame and a
// hundredth, and a millisecond: Windows' runtime stamps times and durations
// in whole milliseconds, rounded down (2,048 frames at 48 kHz last 42 ms).
// Such a time is then up to a millisecond early, and so the audio starts
// up to a millisecond after the position.
bool Plausible(const SeekLanding &landing, PcmLayout layout, uint64_t time, uint64_t duration, uint64_t frames) {
    if (duration == 0 || time + kPlausibleDistance < landing.asked ||
        time > landing.target + kPlausibleDistance)
        return false;
    uint64_t durationFrames = FramesAt(duration, layout.rate, true);
    uint64_t framesInAMillisecond = (layout.rate + 999) / 1000;
    return Distance(durationFrames, frames) <= 1 + frames / 100 + framesInAMillisecond;
}

LandingStep Step(LandingAction action) { return LandingStep{action, 0, 0}; }

// Another SetRange before the position, `late` after it where the runtime
// landed; or none, when there is no earlier landing to be had.
LandingStep StepBack(const SeekLanding &landing, uint64_t late) {
    // After samples before the position went by, the file itself has a gap
    // or ends there: there is nothing earlier to find.
    if (landing.droppedAny || landing.earlierSeeks >= kMostEarlierSeeks || landing.asked == 0)
        return Step(kTakeAsItIs);
    uint64_t stepBack = (late > kLeastStepBack ? late : kLeastStepBack) << landing.earlierSeeks;
    if (stepBack > kMostStepBack) stepBack = kMostStepBack;
    LandingStep again = Step(kSeekEarlier);
    again.seekStart = landing.target > stepBack ? landing.target - stepBack : 0;
    return again;
}

}  // namespace

uint32_t WholeFramesWithin(uint32_t limit, uint32_t blockAlign) {
    return blockAlign ? limit / blockAlign * blockAlign : limit;
}

LandingStep NextLandingStep(const SeekLanding &landing, PcmLayout layout, uint64_t time, uint64_t duration,
                            uint32_t length) {
    if (!layout.rate || !layout.blockAlign) return Step(kTakeAsItIs);
    const uint64_t frames = length / layout.blockAlign;
    if (!Plausible(landing, layout, time, duration, frames))
        return Step(landing.earlierSeeks ? kSeekTargetAgain : kTakeAsItIs);

    const uint64_t first = FramesAt(time, layout.rate, true);
    const uint64_t wanted = FramesAt(landing.target, layout.rate, false);
    if (first + frames <= wanted) return Step(kDropSample);
    if (first <= wanted + 1) {
        LandingStep cut = Step(kCutFront);
        cut.cutBytes = static_cast<uint32_t>(first < wanted ? (wanted - first) * layout.blockAlign : 0);
        return cut;
    }
    return StepBack(landing, time - landing.target);
}

LandingStep LandingAtTheEnd(const SeekLanding &landing) { return StepBack(landing, 0); }
