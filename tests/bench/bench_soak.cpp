#include "bench_soak.h"

#include <windows.h>

#include <stdio.h>

#include <vector>

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

// Wine's heap drifts over a run and commits in steps of hundreds of
// kilobytes, so one side measured after the other would carry a different
// part of both. Rounds of each in turn spread them over the two alike.
const int kRounds = 10;

// What the process's private bytes grew by during each side's rounds, and
// in each round the plug-in's growth less the runtime's, per cycle.
struct SoakGrowth {
    double plugin = 0, runtime = 0;
    std::vector<double> roundDifferences;
};

// False when the runtime made no reader directly: then there is no share to
// set against the plug-in's.
bool WarmUp(PlayerModule *module, const std::string &path, const std::wstring &widePath) {
    for (int cycle = 0; cycle < kWarmUp; ++cycle) PlayALittleAndDescribe(module, path.c_str());
    for (int cycle = 0; cycle < kWarmUp; ++cycle)
        if (!RunRuntimeCycle(widePath.c_str())) return false;
    return true;
}

// Cycles through the plug-in, then as many of the same runtime calls made
// straight on the runtime, with the file opened the same way: what the
// second half leaves behind is Wine's. Returns the usage at the round's end.
ProcessUsage PlayOneRound(PlayerModule *module, const std::string &path, const std::wstring &widePath,
                          int cycles, const ProcessUsage &last, SoakGrowth *growth) {
    for (int cycle = 0; cycle < cycles; ++cycle) PlayALittleAndDescribe(module, path.c_str());
    ProcessUsage played = MeasureProcessUsage();
    for (int cycle = 0; cycle < cycles; ++cycle) RunRuntimeCycle(widePath.c_str());
    ProcessUsage direct = MeasureProcessUsage();
    double plugin = static_cast<double>(played.privateBytes) - last.privateBytes;
    double runtime = static_cast<double>(direct.privateBytes) - played.privateBytes;
    growth->plugin += plugin;
    growth->runtime += runtime;
    growth->roundDifferences.push_back((plugin - runtime) / cycles);
    return direct;
}

// A player that has closed a file must not keep the user from deleting it.
bool CopyDeletableAfterPlaying(const std::string &mediaDir, const std::string &path) {
    std::string copy = mediaDir + "\\soak-copy.wma";
    if (!CopyFileA(path.c_str(), copy.c_str(), FALSE)) return false;
    LoadedPlugin plugin = LoadBuiltPlugin();
    PlayALittleAndDescribe(plugin.module, copy.c_str());
    UnloadPlugin(&plugin);
    return DeleteFileA(copy.c_str()) != FALSE;
}

}  // namespace

// Half the cycles go through the plug-in, half straight on the runtime.
int SoakOnRealFile(const std::string &mediaDir, int cycles) {
    std::string path = mediaDir + "\\stereo44.wma";
    std::wstring widePath(path.begin(), path.end());
    int perRound = cycles / 2 / kRounds > 0 ? cycles / 2 / kRounds : 1;
    int perSide = perRound * kRounds;
    LoadedPlugin plugin = LoadBuiltPlugin();
    if (!WarmUp(plugin.module, path, widePath)) {
        UnloadPlugin(&plugin);
        printf("(d) cannot measure: the runtime made no reader of stereo44.wma directly\n");
        return kBenchCannotMeasure;
    }
    printf("(d) soak on stereo44.wma: %d rounds of %d cycles through the plug-in, then %d of the same runtime "
           "calls made directly; a cycle is a stream opened, read, seeked and closed, and a query\n",
           kRounds, perRound, perRound);
    ProcessUsage start = MeasureProcessUsage(), last = start;
    SoakGrowth growth;
    double begin = NowSeconds();
    for (int round = 1; round <= kRounds; ++round) {
        last = PlayOneRound(plugin.module, path, widePath, perRound, last, &growth);
        printf("    round %2d: handles %lu; private bytes so far %+.0f KB through the plug-in, %+.0f KB "
               "directly (%.1f s)\n",
               round, last.handles, growth.plugin / 1024, growth.runtime / 1024, NowSeconds() - begin);
    }
    UnloadPlugin(&plugin);
    bool deleted = CopyDeletableAfterPlaying(mediaDir, path);

    double perCycle = growth.plugin / perSide, runtimeShare = growth.runtime / perSide;
    printf("    handles %lu -> %lu; private bytes %.0f per cycle through the plug-in, the runtime's own share "
           "%.0f per cycle; file deletable afterwards: %s\n",
           start.handles, last.handles, perCycle, runtimeShare, deleted ? "yes" : "NO");
    // Rounds of the same work swing by hundreds of kilobytes either way as
    // Wine's heap commits, so one total says little: the median of the
    // rounds' differences and its interval say what the plug-in costs.
    RatioInterval difference = BootstrapMedian(growth.roundDifferences);
    bool costsLittle = difference.low <= 256;
    printf("    the plug-in's own growth per cycle, round by round: median %.0f bytes  95%% CI %.0f..%.0f  "
           "target <= 256  %s\n",
           difference.median, difference.low, difference.high,
           costsLittle ? "PASS (interval reaches the target)" : "MISS (whole interval above the target)");
    bool met = costsLittle && last.handles <= start.handles + 4 && deleted;
    return met ? kBenchAllPass : kBenchSomeMiss;
}
