#include "bench_soak.h"

#include <windows.h>

#include <stdio.h>

#include "bench_common.h"
#include "process_usage.h"
#include "runtime_cycle.h"

namespace {

void PlayALittle(PlayerModule *module, const char *path) {
    PlayerStream *stream = module->table->openStream(module, path, 0);
    if (!stream) return;
    const uint8_t *data;
    for (int chunk = 0; chunk < 4; ++chunk) stream->table->read(stream, &data);
    stream->table->seek(stream, 1000);
    stream->table->read(stream, &data);
    stream->table->close(stream);
}

void Describe(PlayerModule *module, const char *path) {
    PlayerFileInfo info;
    module->table->getFileInfo(module, path, 0, &info);
}

double RuntimeBytesPerCycle(const std::wstring &path, int cycles) {
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
    const int kWarmUp = 30;
    for (int cycle = 0; cycle < kWarmUp; ++cycle) {
        PlayALittle(plugin.module, path.c_str());
        Describe(plugin.module, path.c_str());
    }
    ProcessUsage start = MeasureProcessUsage();
    printf("(d) soak on stereo44.wma: %d streams opened, read, seeked and closed, and %d queries\n", cycles, cycles);
    int step = cycles >= 10 ? cycles / 10 : 1;
    double begin = NowSeconds();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        PlayALittle(plugin.module, path.c_str());
        Describe(plugin.module, path.c_str());
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
        PlayALittle(plugin.module, copy.c_str());
        Describe(plugin.module, copy.c_str());
        UnloadPlugin(&plugin);
        deleted = DeleteFileA(copy.c_str()) != FALSE;
    }

    // What the runtime keeps of a cycle's two readers is not ours.
    double runtimeShare = RuntimeBytesPerCycle(widePath, cycles / 10 > 200 ? cycles / 10 : 200);
    double perCycle = (static_cast<double>(end.privateBytes) - start.privateBytes) / cycles;
    printf("    handles %lu -> %lu; private bytes %.0f per cycle, the runtime's own share %.0f per cycle; "
           "file deletable afterwards: %s\n",
           start.handles, end.handles, perCycle, runtimeShare, deleted ? "yes" : "NO");
    printf("    the plug-in's own growth per cycle in bytes: ");
    bool met = Verdict(perCycle - runtimeShare, 256, true) && end.handles <= start.handles + 4 && deleted;
    return met ? kBenchAllPass : kBenchSomeMiss;
}
