// vivu-bench-standin: the plug-in's Read against a runtime whose samples
// cost nothing (bench_runtime.h), so the time is the plug-in's calls and its
// copy: compared with memcpy of the same sizes, and read a million times
// for memory growth. Started by vivu-bench with WINEDLLOVERRIDES=wmvcore=n.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "bench_common.h"
#include "bench_runtime.h"

namespace {

const uint64_t kBytesPerRun = 32ull << 20;  // per size and run
const int kRounds = 41;                     // runs per size and loop; the fastest counts
const uint32_t kStagingBytes = 128000;       // the plug-in's staging size
const long kMemoryReads = 1000000;
const char kFileName[] = "C:\\bench\\stand-in.wma";

unsigned gStagingAlignment;  // where the plug-in's chunks start, modulo 64
alignas(64) uint8_t gTarget[kStagingBytes + 64];  // the copy's destination, as the staging buffer

// One pass over the whole file, from its start, on an open stream (the
// stream's own allocation is not part of the Read throughput).
double PluginRun(PlayerStream *stream, uint64_t expectedBytes) {
    double start = NowSeconds();
    stream->table->seek(stream, 0);
    const uint8_t *first = nullptr;
    uint64_t bytes = stream->table->read(stream, &first);
    gStagingAlignment = static_cast<unsigned>(reinterpret_cast<uintptr_t>(first) % 64);
    bytes += ReadToEnd(stream);
    double seconds = NowSeconds() - start;
    return bytes == expectedBytes ? seconds : -1;
}

double MemcpyRun(uint32_t size, uint32_t samples, unsigned targetOffset = 0) {
    uint8_t *target = gTarget + targetOffset;
    const uint8_t *source = BenchRuntime_SampleBytes();  // what the plug-in copies from
    double start = NowSeconds();
    for (uint32_t i = 0; i < samples; ++i) {
        memcpy(target, source, size);
        __asm__ __volatile__("" : : "r"(target) : "memory");  // every copy happens
    }
    return NowSeconds() - start;
}

bool CopyThroughput(PlayerModule *module) {
    printf("(b) Read throughput / memcpy throughput, %llu MB per run, fastest of %d runs each\n",
           static_cast<unsigned long long>(kBytesPerRun >> 20), kRounds);
    bool met = true;
    for (uint32_t size : {8192u, 40000u, 100000u}) {
        const uint32_t samples = static_cast<uint32_t>(kBytesPerRun / size);
        // Runs short enough to go by undisturbed now and then; interleaved
        // so that all three loops see the same machine.
        BenchRuntime_SetSamples(size, samples);
        PlayerStream *stream = module->table->openStream(module, kFileName, 0);
        if (!stream) {
            printf("    the plug-in opened no stream\n");
            return false;
        }
        double viaPlugin = 1e9, copy = 1e9, copySameAlignment = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            double run = PluginRun(stream, static_cast<uint64_t>(size) * samples);
            if (run <= 0) {
                printf("    %6u bytes: the plug-in did not deliver every byte\n", size);
                stream->table->close(stream);
                return false;
            }
            viaPlugin = std::min(viaPlugin, run);
            copy = std::min(copy, MemcpyRun(size, samples));
            copySameAlignment = std::min(copySameAlignment, MemcpyRun(size, samples, gStagingAlignment));
        }
        stream->table->close(stream);
        const double gb = static_cast<double>(size) * samples / 1e9;
        printf("    %6u-byte samples: Read %.1f GB/s, memcpy %.1f GB/s (%.1f GB/s into the plug-in's alignment), ",
               size, gb / viaPlugin, gb / copy, gb / copySameAlignment);
        met = Verdict(copy / viaPlugin, 0.9, false) && met;
    }
    printf("    (the plug-in's chunks start at byte %u of a 64-byte line)\n", gStagingAlignment);
    return met;
}

// Committed private memory of the process. Where the system leaves
// PrivateUsage at 0 (Wine does), the committed private regions of the
// address space are added up instead.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters;
    memset(&counters, 0, sizeof(counters));
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
                             sizeof(counters)) &&
        counters.PrivateUsage > 0)
        return counters.PrivateUsage;
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    const char *at = nullptr;
    while (VirtualQuery(at, &region, sizeof(region)) == sizeof(region)) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char *next = static_cast<const char *>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;  // the top of the address space
        at = next;
    }
    return total;
}

// Reads `count` times, starting over (Seek 0) at the end of the file.
void ReadMany(PlayerStream *stream, long count) {
    const uint8_t *data = nullptr;
    for (long i = 0; i < count; ++i)
        if (stream->table->read(stream, &data) == 0) stream->table->seek(stream, 0);
}

bool MemoryAfterManyReads(PlayerModule *module) {
    // 40,001-byte samples: every sample takes both the copy and the split.
    BenchRuntime_SetSamples(40001, 1000);
    PlayerStream *stream = module->table->openStream(module, kFileName, 0);
    if (!stream) {
        printf("(c) the plug-in opened no stream\n");
        return false;
    }
    ReadMany(stream, 10000);  // the heap settles first
    const SIZE_T before = PrivateBytes();
    ReadMany(stream, kMemoryReads);
    const SIZE_T after = PrivateBytes();
    stream->table->close(stream);
    const long held = BenchRuntime_SamplesHeld();
    const long long growth = static_cast<long long>(after) - static_cast<long long>(before);
    const bool met = before > 0 && growth <= 0 && held == 0;
    printf("(c) private bytes before %ld reads %llu, after %llu: growth %lld bytes; samples never released: %ld"
           "  target: no growth  %s\n",
           kMemoryReads, static_cast<unsigned long long>(before), static_cast<unsigned long long>(after), growth,
           held, met ? "PASS" : "MISS");
    return met;
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    LoadedPlugin plugin = LoadBuiltPlugin();
    bool met = CopyThroughput(plugin.module);
    met = MemoryAfterManyReads(plugin.module) && met;
    UnloadPlugin(&plugin);
    CoUninitialize();
    return met ? kBenchAllPass : kBenchSomeMiss;
}
