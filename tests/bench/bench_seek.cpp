#include "bench_seek.h"

#include <windows.h>
#include <wmsdkidl.h>

#include <stdio.h>

#include <vector>

#include "bench_common.h"

namespace {

const int kRounds = 41;  // paired seeks per place, more where they scatter
const double kBudgetSeconds = 20;  // per place

struct Place {
    const char *file;
    int32_t positionMs;
    const char *where;
};

// Mid-file Wine's runtime lands on the position; in the last second of the
// 8 kHz file it lands late, and the plug-in seeks again earlier.
const Place kPlaces[] = {
    {"long60.wma", 30000, "mid-file"},
    {"long60.wma", 59500, "last second"},
    {"m-wmav1-8000-1-24k.wma", 1500, "mid-file"},
    {"m-wmav1-8000-1-24k.wma", 2700, "last second"},
};

double PluginSeek(PlayerStream *stream, int32_t positionMs) {
    double start = NowSeconds();
    const uint8_t *data = nullptr;
    if (stream->table->seek(stream, positionMs) != positionMs || stream->table->read(stream, &data) == 0) return -1;
    return NowSeconds() - start;
}

double RuntimeSeek(IWMSyncReader *reader, int32_t positionMs) {
    double start = NowSeconds();
    if (FAILED(reader->SetRange(static_cast<QWORD>(positionMs) * 10000, 0))) return -1;
    INSSBuffer *sample = nullptr;
    QWORD time, duration;
    DWORD flags, output;
    if (FAILED(reader->GetNextSample(0, &sample, &time, &duration, &flags, &output, nullptr))) return -1;
    sample->Release();
    return NowSeconds() - start;
}

// One place: false when it missed the target; *measured false when it could not be measured.
bool MeasurePlace(PlayerModule *module, CreateSyncReaderFn create, const std::string &mediaDir, const Place &place,
                  bool *measured) {
    const std::string path = mediaDir + "\\" + place.file;
    std::wstring widePath(path.begin(), path.end());
    PlayerStream *stream = module->table->openStream(module, path.c_str(), 0);
    IWMSyncReader *reader = nullptr;
    bool opened = stream && SUCCEEDED(create(nullptr, WMT_RIGHT_PLAYBACK, &reader)) &&
                  SUCCEEDED(reader->Open(widePath.c_str()));
    auto seekPair = [&](int round, double *viaPlugin, double *bare) {
        // Both start from elsewhere in the file, and take turns going first.
        const uint8_t *data;
        stream->table->seek(stream, 0);
        stream->table->read(stream, &data);
        RuntimeSeek(reader, 0);
        if (round % 2) {
            *bare = RuntimeSeek(reader, place.positionMs);
            *viaPlugin = PluginSeek(stream, place.positionMs);
        } else {
            *viaPlugin = PluginSeek(stream, place.positionMs);
            *bare = RuntimeSeek(reader, place.positionMs);
        }
        return true;
    };
    PairedTimes pairs;
    if (opened) {
        double viaPlugin, bare;
        seekPair(0, &viaPlugin, &bare);  // warms the decoder
        pairs = TakePairs(kRounds, kBudgetSeconds, seekPair);
    }
    if (stream) stream->table->close(stream);
    if (reader) {
        reader->Close();
        reader->Release();
    }
    *measured = EnoughPairs(pairs);
    if (!*measured) {
        printf("    %s at %d ms (%s): could not be measured\n", place.file, place.positionMs, place.where);
        return false;
    }
    printf("    %s at %d ms (%s): plug-in %.3f ms, runtime %.3f ms (medians)\n        ", place.file,
           place.positionMs, place.where, Median(&pairs.firstTimes) * 1e3, Median(&pairs.secondTimes) * 1e3);
    return PairedVerdict(pairs, 1.5);
}

}  // namespace

int SeekAgainstRuntime(const std::string &mediaDir) {
    CreateSyncReaderFn create = RuntimeFactoryFor("(e)");
    if (!create) return kBenchCannotMeasure;
    printf("(e) Seek to the first Read through the plug-in / SetRange and the first GetNextSample, "
           "paired seeks\n");
    LoadedPlugin plugin = LoadBuiltPlugin();
    bool met = true, measured = true;
    for (const Place &place : kPlaces) {
        bool placeMeasured;
        met = MeasurePlace(plugin.module, create, mediaDir, place, &placeMeasured) && met;
        measured = measured && placeMeasured;
    }
    UnloadPlugin(&plugin);
    return !measured ? kBenchCannotMeasure : met ? kBenchAllPass : kBenchSomeMiss;
}
