#include "bench_common.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "plugin_drive.h"
#include "test_paths.h"

LoadedPlugin LoadBuiltPlugin() {
    LoadedPlugin plugin;
    if (!LoadPlugin(PluginPath(), &plugin)) exit(kBenchCannotMeasure);
    return plugin;
}

CreateSyncReaderFn RuntimeFactoryFor(const char *label) {
    CreateSyncReaderFn create = RuntimeFactory();
    if (!create) printf("%s no media runtime (wmvcore.dll with WMCreateSyncReader)\n", label);
    return create;
}

double NowSeconds() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

uint64_t ReadToEnd(PlayerStream *stream) { return ReadStreamToEnd(reinterpret_cast<DecodeStream *>(stream)).bytes; }

double Median(std::vector<double> *values) {
    if (values->empty()) return 0;
    // Partial ordering, not a sort: the bootstrap takes thousands of medians.
    const auto middle = values->begin() + values->size() / 2;
    std::nth_element(values->begin(), middle, values->end());
    return values->size() % 2 ? *middle : (*std::max_element(values->begin(), middle) + *middle) / 2;
}

bool Verdict(double ratio, double target, bool atMost) {
    bool met = atMost ? ratio <= target : ratio >= target;
    printf("ratio %.3f  target %s %.2f  %s\n", ratio, atMost ? "<=" : ">=", target, met ? "PASS" : "MISS");
    return met;
}

RatioInterval BootstrapMedian(const std::vector<double> &ratios) {
    const int kResamples = 2000;
    std::vector<double> sample(ratios), medians;
    RatioInterval interval;
    interval.median = Median(&sample);
    if (ratios.empty()) {
        interval.low = interval.high = 0;
        return interval;
    }
    // A fixed-seed linear congruential generator: plenty for picking
    // indices, and the same pairs always give the same interval.
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (int resample = 0; resample < kResamples; ++resample) {
        for (double &value : sample) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            value = ratios[static_cast<size_t>((state >> 33) % ratios.size())];
        }
        medians.push_back(Median(&sample));
    }
    std::sort(medians.begin(), medians.end());
    interval.low = medians[kResamples / 40];                    // 2.5 %: 50 resamples lie below
    interval.high = medians[kResamples - kResamples / 40 - 1];  // 97.5 %: 50 lie above
    return interval;
}

namespace {

const size_t kFewestPairs = 3;

bool Wide(const RatioInterval &interval) { return (interval.high - interval.low) / 2 > 0.05 * interval.median; }

// "N pairs in S s (budget B s): median M  95% CI L..H"; the caller ends the line.
RatioInterval PrintPairs(const PairedTimes &pairs) {
    const RatioInterval interval = BootstrapMedian(pairs.ratios);
    printf("%d pairs in %.1f s (budget %.0f s): median %.3f  95%% CI %.3f..%.3f", static_cast<int>(pairs.ratios.size()),
           pairs.seconds, pairs.budgetSeconds, interval.median, interval.low, interval.high);
    return interval;
}

void NoteIfWide(const RatioInterval &interval) {
    if (Wide(interval)) printf("        the budget ran out with the interval still wider than +/-5 %% of the median\n");
}

}  // namespace

PairedTimes TakePairs(int rounds, double budgetSeconds, const PairFn &takePair) {
    PairedTimes pairs;
    pairs.budgetSeconds = budgetSeconds;
    const double start = NowSeconds();
    // The interval costs more the more pairs there are: it is worked out
    // again only when a tenth more (at least a quarter of `rounds`) came in.
    size_t nextLook = static_cast<size_t>(rounds);
    for (int round = 0;; ++round) {
        double first = 0, second = 0;
        if (takePair(round, &first, &second) && first > 0 && second > 0) {
            pairs.ratios.push_back(first / second);
            pairs.firstTimes.push_back(first);
            pairs.secondTimes.push_back(second);
        } else {
            ++pairs.leftOut;
        }
        pairs.seconds = NowSeconds() - start;
        if (pairs.seconds >= budgetSeconds && static_cast<size_t>(round) + 1 >= kFewestPairs) break;
        if (pairs.ratios.size() >= nextLook) {
            if (!Wide(BootstrapMedian(pairs.ratios))) break;
            const size_t step = std::max<size_t>(static_cast<size_t>(rounds) / 4, pairs.ratios.size() / 10);
            nextLook = pairs.ratios.size() + std::max<size_t>(step, 1);
        }
    }
    return pairs;
}

bool EnoughPairs(const PairedTimes &pairs) {
    return pairs.ratios.size() >= kFewestPairs && pairs.ratios.size() > static_cast<size_t>(pairs.leftOut);
}

bool PairedVerdict(const PairedTimes &pairs, double target) {
    const RatioInterval interval = PrintPairs(pairs);
    const bool met = interval.low <= target;
    printf("  target <= %.2f  %s\n", target,
           met ? "PASS (interval reaches the target)" : "MISS (whole interval above the target)");
    NoteIfWide(interval);
    return met;
}

void PairedSpread(const PairedTimes &pairs) {
    const RatioInterval interval = PrintPairs(pairs);
    const bool holdsOne = interval.low <= 1 && interval.high >= 1;
    printf("  no target: the interval should hold 1.00, and %s\n", holdsOne ? "does" : "does NOT");
    NoteIfWide(interval);
}
