// A media runtime for timing the plug-in's own work (built as wmvcore.dll
// into its own folder, beside vivu-bench-standin.exe). Every sample it hands
// out is the same ready-made buffer, so a read costs the plug-in's calls and
// its one copy, and nothing of a decoder's or generator's.
#pragma once

#include <stdint.h>

#ifdef VIVU_BENCH_RUNTIME_BUILD
#define BENCH_RUNTIME_API extern "C" __declspec(dllexport)
#else
#define BENCH_RUNTIME_API extern "C" __declspec(dllimport)
#endif

// Every file then holds `count` samples of `size` bytes (size at most
// kBenchMaxSample), 10 ms apart.
const uint32_t kBenchMaxSample = 128000;
BENCH_RUNTIME_API void BenchRuntime_SetSamples(uint32_t size, uint32_t count);

// The bytes every sample holds (for copying the same source elsewhere).
BENCH_RUNTIME_API const uint8_t *BenchRuntime_SampleBytes(void);

// Samples handed out and not yet released.
BENCH_RUNTIME_API long BenchRuntime_SamplesHeld(void);
