// Hundreds of streams and queries on one real file: the process's handles
// and private memory level off, and the file can be deleted at the end.
// (./vivu bench runs the long version.)
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>

#include "plugin/module.h"
#include "process_usage.h"
#include "direct_runtime.h"
#include "plugin_drive.h"
#include "test_paths.h"

namespace {

TEST(Soak, StreamsAndQueriesLeaveNoHandlesOrMemoryBehind) {
    std::string path = ScratchPath("soak.wma");
    ASSERT_TRUE(CopyFileA(MediaPath("stereo44.wma").c_str(), path.c_str(), FALSE));
    InputModule *module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);

    // The runtime builds caches on first use: measure from a warm start.
    for (int cycle = 0; cycle < 30; ++cycle) ASSERT_TRUE(SoakCycle(module, path.c_str()));
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    for (int cycle = 0; cycle < 10; ++cycle) ASSERT_TRUE(RunRuntimeCycle(widePath));

    // Rounds of each in turn, so the heap's own drift falls on both sides.
    const int kRounds = 4, kCycles = 200;
    ProcessUsage before = MeasureProcessUsage(), last = before;
    double pluginGrowth = 0, runtimeGrowth = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (int cycle = 0; cycle < kCycles / kRounds; ++cycle) ASSERT_TRUE(SoakCycle(module, path.c_str()));
        ProcessUsage played = MeasureProcessUsage();
        for (int cycle = 0; cycle < kCycles / kRounds; ++cycle) ASSERT_TRUE(RunRuntimeCycle(widePath));
        ProcessUsage direct = MeasureProcessUsage();
        pluginGrowth += static_cast<double>(played.privateBytes) - last.privateBytes;
        runtimeGrowth += static_cast<double>(direct.privateBytes) - played.privateBytes;
        last = direct;
    }
    module->ops->Release(module);
    ProcessUsage after = last;

    printf("%d cycles: handles %lu -> %lu; private bytes +%.0f KB through the plug-in, +%.0f KB for the "
           "same readers made directly\n",
           kCycles, before.handles, after.handles, pluginGrowth / 1024, runtimeGrowth / 1024);

    EXPECT_LE(after.handles, before.handles + 4) << "handles: " << before.handles << " -> " << after.handles;
    // Wine's heap commits and gives back in steps of hundreds of kilobytes as
    // the decoder's threads come and go, so only what stands out of that is
    // ours: a stream, a sample or a reader kept is 8 KB a cycle and more.
    // (The stand-in runtime, which keeps nothing itself, measures the small
    // things.)
    EXPECT_LT(pluginGrowth, runtimeGrowth + 8192.0 * kCycles);
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "error " << GetLastError();
}

}  // namespace
