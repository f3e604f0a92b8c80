// Where the audio after a seek starts. The stream asks the runtime for a
// time; the runtime may hand out its first sample before that time (it
// starts at the data packet that holds it) or after it (near the end of a
// low-rate file some runtimes land on the next packet). These rules decide,
// sample by sample, what to drop, where to cut, and when to ask again
// earlier, so that the player hears the file from exactly where it asked.
//
// Needs no Windows API, so it also builds natively.
#pragma once

#include <stdint.h>

// 100-ns units in a second: the runtime's clock.
const uint64_t kUnitsPerSecond = 10000000;

// The decoded PCM as far as the stream knows it; zeros where unknown.
struct PcmLayout {
    uint32_t rate;        // frames a second
    uint32_t blockAlign;  // bytes a frame
};

// The largest whole number of frames within `limit` bytes; `limit` itself
// when the frame size is unknown.
uint32_t WholeFramesWithin(uint32_t limit, uint32_t blockAlign);

// One seek on its way to the position.
struct SeekLanding {
    uint64_t target;        // the position the player asked for
    uint64_t asked;         // the start of the latest SetRange
    uint32_t earlierSeeks;  // extra SetRange calls made so far
    bool droppedAny;        // a sample before the position went by
};

enum LandingAction {
    kTakeAsItIs,       // done: deliver this sample whole (times unusable, or no better landing to be had)
    kDropSample,       // it ends at or before the position
    kCutFront,         // done: deliver it from cutBytes on
    kSeekEarlier,      // the runtime landed late: SetRange(seekStart) and look again
    kSeekTargetAgain,  // an earlier landing made no sense: SetRange(target) and take what comes
};

struct LandingStep {
    LandingAction action;
    uint32_t cutBytes;   // kCutFront
    uint64_t seekStart;  // kSeekEarlier
};

// A few extra seeks at most; then the stream keeps where the runtime landed.
const uint32_t kMostEarlierSeeks = 3;

// What to do when the runtime has no sample at all while `landing` is under
// way: near the end some runtimes land past it. kSeekEarlier or kTakeAsItIs
// (the end it is).
LandingStep LandingAtTheEnd(const SeekLanding &landing);

// What to do with a sample of `length` bytes the runtime gave for `time`
// lasting `duration` while `landing` is under way.
LandingStep NextLandingStep(const SeekLanding &landing, PcmLayout layout, uint64_t time, uint64_t duration,
                            uint32_t length);
