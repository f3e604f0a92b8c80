#include "bench_soak.h"

#include <windows.h>
#include <wmsdkidl.h>

#include <stdio.h>

#include "bench_common.h"
#include "process_usage.h"

namespace {

typedef HRESULT(WINAPI *CreateSyncReaderFn)(IUnknown *, DWORD, IWMSyncReader **);

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

// Wine's own reader keeps a few kilobytes for every reader it ever made.
// The same calls as one cycle makes, straight on the runtime, measure that
// share without the plug-in.
void RuntimeCycle(CreateSyncReaderFn create, const std::wstring &path) {
    static const GUID kHeaderInfoId = {0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    for (int reader = 0; reader < 2; ++reader) {
        IWMSyncReader *sync = nullptr;
        if (FAILED(create(nullptr, 1, &sync))) return;
        sync->Open(path.c_str());
        if (reader == 0) {
            for (int sample = 0; sample < 5; ++sample) {
                INSSBuffer *buffer = nullptr;
                QWORD time, duration;
                DWORD flags, output;
                if (sample == 4) sync->SetRange(1000 * 10000ULL, 0);
                if (SUCCEEDED(sync->GetNextSample(0, &buffer, &time, &duration, &flags, &output, nullptr)))
                    buffer->Release();
            }
        } else {
            IWMHeaderInfo *header = nullptr;
            if (SUCCEEDED(sync->QueryInterface(kHeaderInfoId, reinterpret_cast<void **>(&header)))) {
                WORD stream = 0, count = 0;
                header->GetAttributeCount(stream, &count);
                header->Release();
            }
            IWMOutputMediaProps *props = nullptr;
            if (SUCCEEDED(sync->GetOutputProps(0, &props))) props->Release();
        }
        sync->Close();
        sync->Release();
    }
}

double RuntimeBytesPerCycle(const std::wstring &path, int cycles) {
    CreateSyncReaderFn create = reinterpret_cast<CreateSyncReaderFn>(
        reinterpret_cast<void *>(GetProcAddress(LoadLibraryA("wmvcore.dll"), "WMCreateSyncReader")));
    if (!create) return 0;
    ProcessUsage before = MeasureProcessUsage();
    for (int cycle = 0; cycle < cycles; ++cycle) RuntimeCycle(create, path);
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
