// What both bench programs share: the plug-in as the player loads it, a
// stopwatch, and the verdict lines.
#pragma once

#include <stdint.h>
#include <windows.h>
#include <wmsdkidl.h>

#include <vector>

#include "direct_runtime.h"
#include "player_abi.h"
#include "plugin_loader.h"

// The plug-in of this build, loaded through its export; exits the program
// with status 2 when it cannot be had.
LoadedPlugin LoadBuiltPlugin();

// The runtime's reader factory (RuntimeFactory); where there is none, null
// and a line saying so under `label`.
CreateSyncReaderFn RuntimeFactoryFor(const char *label);

// Seconds since an arbitrary start, from the performance counter.
double NowSeconds();

// Reads a stream to its end as the player does; returns the bytes read.
uint64_t ReadToEnd(PlayerStream *stream);

// The middle value (mean of the two middle ones for an even count); the
// vector is reordered.
double Median(std::vector<double> *values);

// Prints "ratio R  target <= T  PASS|MISS" (or >=) and returns whether it met it.
bool Verdict(double ratio, double target, bool atMost);

// Exit statuses of both programs.
enum BenchExit { kBenchAllPass = 0, kBenchSomeMiss = 1, kBenchCannotMeasure = 2 };
