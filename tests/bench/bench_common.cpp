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
    std::sort(values->begin(), values->end());
    const size_t middle = values->size() / 2;
    return values->size() % 2 ? (*values)[middle] : ((*values)[middle - 1] + (*values)[middle]) / 2;
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

bool IntervalVerdict(const RatioInterval &interval, double target) {
    const bool met = interval.low <= target;
    printf("median %.3f  95%% CI %.3f..%.3f  target <= %.2f  %s\n", interval.median, interval.low, interval.high,
           target, met ? "PASS (interval reaches the target)" : "MISS (whole interval above the target)");
    return met;
}
