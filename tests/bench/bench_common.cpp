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
