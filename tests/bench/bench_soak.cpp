#include "bench_soak.h"

#include <windows.h>

#include <stdio.h>

#include "bench_common.h"
#include "process_usage.h"
#include "direct_runtime.h"
#include "plugin_drive.h"

namespace {

// The cycle the soak test makes, through the module the player loaded.
void PlayALittleAndDescribe(PlayerModule *module, const char *path) {
    SoakCycle(reinterpret_cast<InputModule *>(module), path);
}

// The runtime builds caches on first use: both sides are measured from the
// same warm start.
const int kWarmUp = 30;

// The same runtime calls as a cycle through the plug-in, with the file opened
// the same way, after the same warm-up: what they leave behind is Wine's.
double RuntimeBytesPerCycle(const std::wstring &path, int cycles) {
    for (int cycle = 0; cycle < kWarmUp; ++cycle)
        if (!RunRuntimeCycle(path.c_str())) return 0;
    ProcessUsage before = MeasureProcessUsage();
    for (int cycle = 0; cycle < cycles; ++cycle) RunRuntimeCycle(path.c_str());
    ProcessUsage after = MeasureProcessUsage();
    return (static_cast<double>(after.privateBytes) - before.privateBytes) / cycles;
}

}  // namespace

int SoakOnRealFile(const std::string &mediaDir, int cycles) {
    std::string path = mediaDir + "\\stereo44.wma";
    std::wstring widePath(path.begin(), path.end());
    LoadedPlugin plugin = LoadBuiltPlugin();
    for (int cycle = 0; cycle < kWarmUp; ++cycle) {
        PlayALittleAndDescribe(plugin.module, path.c_str());
    }
    ProcessUsage start = MeasureProcessUsage();
    printf("(d) soak on stereo44.wma: %d streams opened, read, seeked and closed, and %d queries\n", cycles, cycles);
    int step = cycles >= 10 ? cycles / 10 : 1;
    double begin = NowSeconds();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        PlayALittleAndDescribe(plugin.module, path.c_str());
        if (cycle % step == 0) {
            ProcessUsage now = MeasureProcessUsage();
            printf("    %6d cycles: handles %lu, private bytes %+.0f KB (%.1f s)\n", cycle, now.handles,
                   (static_cast<double>(now.privateBytes) - start.privateBytes) / 1024, NowSeconds() - begin);
        }
    }
    ProcessUsage end = MeasureProcessUsage();
    UnloadPlugin(&plugin);

    bool deleted = false;
    std::string copy = mediaDir + "\\soak-copy.wma";
    if (CopyFileA(path.c_str(), copy.c_str(), FALSE)) {
        plugin = LoadBuiltPlugin();
        PlayALittleAndDescribe(plugin.module, copy.c_str());
        UnloadPlugin(&plugin);
        deleted = DeleteFileA(copy.c_str()) != FALSE;
    }

    // What the runtime keeps of a cycle's two readers, opened over a stream
    // as ours are, is not ours.
    double runtimeShare = RuntimeBytesPerCycle(widePath, cycles / 10 > 200 ? cycles / 10 : 200);
    double perCycle = (static_cast<double>(end.privateBytes) - start.privateBytes) / cycles;
    printf("    handles %lu -> %lu; private bytes %.0f per cycle, the runtime's own share %.0f per cycle; "
           "file deletable afterwards: %s\n",
           start.handles, end.handles, perCycle, runtimeShare, deleted ? "yes" : "NO");
    printf("    the plug-in's own growth per cycle in bytes: ");
    bool met = Verdict(perCycle - runtimeShare, 256, true) && end.handles <= start.handles + 4 && deleted;
    return met ? kBenchAllPass : kBenchSomeMiss;
}
