// P4: the information query against the runtime's own header work. Wine's
// runtime lists no attributes, so here the query also reads the file's own
// header; that must cost next to nothing beside opening a reader.
#include "bench_info.h"

#include <windows.h>
#include <wmsdkidl.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "bench_common.h"

namespace {

const int kRounds = 40;  // paired runs of the two, more where they scatter
const double kBudgetSeconds = 30;  // per file
const GUID kHeaderInfoId = {0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};

// What any user of the runtime does to list a file's attributes: create a
// reader, open the file, enumerate the header view, close.
double BareRuntimeQuery(CreateSyncReaderFn create, const std::wstring &file) {
    double start = NowSeconds();
    IWMSyncReader *reader = nullptr;
    if (FAILED(create(nullptr, WMT_RIGHT_PLAYBACK, &reader))) return -1;
    if (SUCCEEDED(reader->Open(file.c_str()))) {
        IWMHeaderInfo *header = nullptr;
        if (SUCCEEDED(reader->QueryInterface(__uuidof(IWMHeaderInfo), reinterpret_cast<void **>(&header))) && header) {
            WORD count = 0;
            if (FAILED(header->GetAttributeCount(0, &count))) count = 0;
            for (WORD index = 0; index < count; ++index) {
                WORD stream = 0, nameLength = 0, valueLength = 0;
                WMT_ATTR_DATATYPE type;
                header->GetAttributeByIndex(index, &stream, nullptr, &nameLength, &type, nullptr, &valueLength);
                std::vector<WCHAR> name(nameLength + 1);
                std::vector<BYTE> value(valueLength + 1);
                header->GetAttributeByIndex(index, &stream, name.data(), &nameLength, &type, value.data(),
                                            &valueLength);
            }
            header->Release();
        }
        reader->Close();
    }
    reader->Release();
    return NowSeconds() - start;
}

double PluginQuery(PlayerModule *module, const std::string &file, PlayerFileInfo *info) {
    double start = NowSeconds();
    module->table->getFileInfo(module, file.c_str(), 0, info);
    return NowSeconds() - start;
}

bool MeasureFile(CreateSyncReaderFn create, PlayerModule *module, const std::string &mediaDir, const char *name) {
    const std::string file = mediaDir + "\\" + name;
    const std::wstring wideFile(file.begin(), file.end());
    PlayerFileInfo info = {};
    PluginQuery(module, file, &info);  // warm-up: the first reader loads the decoder
    BareRuntimeQuery(create, wideFile);
    PairedTimes pairs = TakePairs(kRounds, kBudgetSeconds, [&](int round, double *viaPlugin, double *bare) {
        // The order alternates: whichever runs second may meet the first
        // one's reader still winding down.
        if (round % 2) {
            *bare = BareRuntimeQuery(create, wideFile);
            *viaPlugin = PluginQuery(module, file, &info);
        } else {
            *viaPlugin = PluginQuery(module, file, &info);
            *bare = BareRuntimeQuery(create, wideFile);
        }
        return true;
    });
    if (!EnoughPairs(pairs) || info.durationMs == 0) {
        printf("(P4) %s: the runtime or the plug-in gave nothing to time (duration %u ms)\n", name, info.durationMs);
        return false;
    }
    printf("(P4) GetFileInfo on %s (%u ms, %u bit/s): plug-in %.2f ms, runtime create+open+enumerate+close "
           "%.2f ms (medians)\n     plug-in / runtime, ",
           name, info.durationMs, info.bitrate, Median(&pairs.firstTimes) * 1000, Median(&pairs.secondTimes) * 1000);
    return PairedVerdict(pairs, 1.05);
}

}  // namespace

int InfoAgainstRuntime(const std::string &mediaDir) {
    CreateSyncReaderFn create = RuntimeFactoryFor("(P4)");
    if (!create) return kBenchCannotMeasure;
    LoadedPlugin plugin = LoadBuiltPlugin();
    bool met = MeasureFile(create, plugin.module, mediaDir, "long180.wma");
    met = MeasureFile(create, plugin.module, mediaDir, "tagged-picture.wma") && met;
    UnloadPlugin(&plugin);
    return met ? kBenchAllPass : kBenchSomeMiss;
}
