// Hundreds of streams and queries on one real file: the process's handles
// and private memory level off, and the file can be deleted at the end.
// (./vivu bench runs the long version.)
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>

#include "plugin/module.h"
#include "process_usage.h"
#include "test_paths.h"

namespace {

void PlayALittle(InputModule *module, const char *path) {
    DecodeStream *stream = module->ops->OpenStream(module, path, 0);
    const StreamOps *ops = *reinterpret_cast<const StreamOps *const *>(stream);
    const uint8_t *data;
    for (int chunk = 0; chunk < 4; ++chunk) ASSERT_GT(ops->Read(stream, &data), 0u);
    ops->Seek(stream, 1000);
    ASSERT_GT(ops->Read(stream, &data), 0u);
    ops->Close(stream);
}

// The same work straight on the runtime, without the plug-in: Wine's own
// reader keeps a few kilobytes per reader it ever made, which is not ours.
void UseRuntimeDirectly(const wchar_t *path) {
    typedef HRESULT(WINAPI * CreateFn)(IUnknown *, DWORD, IWMSyncReader **);
    static CreateFn create = reinterpret_cast<CreateFn>(
        reinterpret_cast<void *>(GetProcAddress(LoadLibraryA("wmvcore.dll"), "WMCreateSyncReader")));
    ASSERT_NE(create, nullptr);
    for (int reader = 0; reader < 2; ++reader) {
        HRESULT com = CoInitialize(nullptr);
        IWMSyncReader *sync = nullptr;
        ASSERT_EQ(create(nullptr, 1, &sync), S_OK);
        ASSERT_EQ(sync->Open(path), S_OK);
        for (int sample = 0; reader == 0 && sample < 5; ++sample) {
            INSSBuffer *buffer = nullptr;
            QWORD time, duration;
            DWORD flags;
            if (SUCCEEDED(sync->GetNextSample(0, &buffer, &time, &duration, &flags, nullptr, nullptr))) buffer->Release();
        }
        sync->Close();
        sync->Release();
        if (SUCCEEDED(com)) CoUninitialize();
    }
}

void Describe(InputModule *module, const char *path) {
    FileInfo info;
    ASSERT_EQ(module->ops->GetFileInfo(module, path, 0, &info), 1);
}

TEST(Soak, StreamsAndQueriesLeaveNoHandlesOrMemoryBehind) {
    std::string path = ScratchPath("soak.wma");
    ASSERT_TRUE(CopyFileA(MediaPath("stereo44.wma").c_str(), path.c_str(), FALSE));
    InputModule *module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);

    // The runtime builds caches on first use: measure from a warm start.
    for (int cycle = 0; cycle < 30; ++cycle) {
        PlayALittle(module, path.c_str());
        Describe(module, path.c_str());
    }
    ProcessUsage before = MeasureProcessUsage();
    const int kCycles = 200;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        PlayALittle(module, path.c_str());
        Describe(module, path.c_str());
    }
    ProcessUsage after = MeasureProcessUsage();
    module->ops->Release(module);

    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    for (int cycle = 0; cycle < kCycles; ++cycle) UseRuntimeDirectly(widePath);
    ProcessUsage bare = MeasureProcessUsage();

    double pluginGrowth = static_cast<double>(after.privateBytes) - before.privateBytes;
    double runtimeGrowth = static_cast<double>(bare.privateBytes) - after.privateBytes;
    printf("%d cycles: handles %lu -> %lu; private bytes +%.0f KB through the plug-in, +%.0f KB for the "
           "same readers made directly\n",
           kCycles, before.handles, after.handles, pluginGrowth / 1024, runtimeGrowth / 1024);

    EXPECT_LE(after.handles, before.handles + 4) << "handles: " << before.handles << " -> " << after.handles;
    // Whatever the plug-in adds to the runtime's own growth: under 1 KB a cycle.
    EXPECT_LT(pluginGrowth, runtimeGrowth + 1024.0 * kCycles);
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "error " << GetLastError();
}

}  // namespace
