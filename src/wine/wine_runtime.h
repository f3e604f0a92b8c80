// Whether the media runtime in this process is Wine's own, and what it is
// asked of a file.
//
// Wine's runtime (over GStreamer) has faults of its own that the plug-in
// works around; on Windows none of those workarounds may change anything.
// Wine's ntdll exports wine_get_version, Windows' never does. It goes with
// the last of those workarounds.
#pragma once

#include "asf/asf_header.h"

// True under Wine. Asked once and kept for the process's life.
bool RuntimeIsWine();

// True when the module loaded at `base` is one of Wine's own builtin DLLs
// (its DOS stub says so), not a native DLL Wine was told to prefer. What
// only Wine's media runtime gets (AskOfWine, a query answered from the file)
// asks this of the runtime loaded: a native runtime under Wine lists its
// attributes and opens files as Windows' does.
bool IsWineBuiltin(const void *base);

// What the runtime is asked of a file the plug-in holds open.
enum RuntimeAsk {
    kAskRuntime,  // the runtime's to play or refuse: Windows', or content the plug-in cannot judge
    // Under Wine, an ASF file with sound (AsfContent): an open that fails is
    // tried again, and it is asked however many opens were given up on.
    kAskRuntimeVouched,
    // Nothing to ask: no runtime plays it, or under Wine, nothing Wine plays.
    kAskNothing,
};

// Under Wine, from the plug-in's own reading of the file. Wine's ASF
// demuxer may refuse a header, or find no packet, in a way its open never
// returns from (see open_deadline.h), and it plays no protected content:
// none of those is handed to it, at no cost beyond the reading.
RuntimeAsk AskOfWine(const AsfHeld &held);

// Wine's decoder sometimes has not settled its output when the open ends,
// and the open fails (with gst_audio_info_from_caps asserting fixed caps in
// Wine's log): a vouched file's failed open is tried this many times in all,
// while the tries so far took less than the budget.
enum { kWineOpenTries = 4, kWineOpenRetryBudgetMs = 2000 };
