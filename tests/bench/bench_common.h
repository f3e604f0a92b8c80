// What both bench programs share: the plug-in as the player loads it, a
// stopwatch, and the verdict lines.
#pragma once

#include <stdint.h>
#include <windows.h>
#include <wmsdkidl.h>

#include <functional>
#include <vector>

#include "direct_runtime.h"
#include "player_abi.h"
#include "plugin_loader.h"

// The plug-in of this build, loaded through its export; exits the program
// with status 2 when it cannot be had.
LoadedPlugin LoadBuiltPlugin();

// The runtime's reader factory (RuntimeFactory); where there is none, null
// and a line saying so under `label`.
CreateSyncReaderFn RuntimeFactoryFor(const char *label);

// Seconds since an arbitrary start, from the performance counter.
double NowSeconds();

// Reads a stream to its end as the player does; returns the bytes read.
uint64_t ReadToEnd(PlayerStream *stream);

// The middle value (mean of the two middle ones for an even count); the
// vector is reordered.
double Median(std::vector<double> *values);

// Prints "ratio R  target <= T  PASS|MISS" (or >=) and returns whether it met it.
// For figures that come from no pairs; paired ratios get PairedVerdict.
bool Verdict(double ratio, double target, bool atMost);

// The median of paired ratios and its 95 % confidence interval. One median
// alone cannot tell a real difference from a loaded machine: the interval
// shows how far the pairs at hand let it move.
struct RatioInterval {
    double median, low, high;
};

// Resamples the ratios with replacement (2,000 times, always from the same
// seed, so one set of pairs always gives one interval) and takes the 2.5 %
// and 97.5 % points of the resamples' medians.
RatioInterval BootstrapMedian(const std::vector<double> &ratios);

// Paired timings of two pieces of work, as one bench line takes them.
struct PairedTimes {
    std::vector<double> ratios;       // first / second, one per counted pair
    std::vector<double> firstTimes;   // in seconds, in the order of the ratios
    std::vector<double> secondTimes;
    int leftOut = 0;                  // pairs the measurement did not count
    double seconds = 0;               // spent taking them all
    double budgetSeconds = 0;
};

// Times one pair: the round number (to alternate which goes first) in, the
// two times out; false for a pair that is not to count.
typedef std::function<bool(int round, double *first, double *second)> PairFn;

// Takes `rounds` pairs, then more while the ratio's interval is wider than
// +/-5 % of its median: a verdict on too few pairs would mostly say what the
// machine did meanwhile. Stops once `budgetSeconds` are spent, however wide
// the interval, but only after three pairs, however long those take.
PairedTimes TakePairs(int rounds, double budgetSeconds, const PairFn &takePair);

// At least three pairs counted, and more than half of those taken: fewer
// say nothing of the two pieces of work.
bool EnoughPairs(const PairedTimes &pairs);

// Prints "N pairs in S s (budget B s): median M  95% CI L..H  target <= T
// PASS|MISS (...)": PASS when the interval reaches down to the target, MISS
// when all of it lies above; and says so when the budget ran out before the
// interval narrowed. Returns whether it passed.
bool PairedVerdict(const PairedTimes &pairs, double target);

// The same line for a control pair, two runs of the same work: no target,
// only whether the interval holds 1.00 as it should.
void PairedSpread(const PairedTimes &pairs);

// Exit statuses of both programs.
enum BenchExit { kBenchAllPass = 0, kBenchSomeMiss = 1, kBenchCannotMeasure = 2 };
