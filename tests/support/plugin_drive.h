// The plug-in driven through its tables as the player drives it: a stream
// read to its end, and the soak's cycle of a little playing and a query.
// Only the tables are used, so a module from the DLL loaded by path serves
// as well as one linked in.
#pragma once

#include <stdint.h>

#include "plugin/abi.h"

struct StreamTotals {
    uint64_t bytes = 0;
    uint32_t chunks = 0;
    uint32_t largestChunk = 0;
    uint32_t nullChunks = 0;  // chunks handed out without a data pointer
    bool endStays = false;    // the read after the end gave 0 again
};

// Every chunk to the end (a runaway stream stops after ten million chunks,
// to fail its length check instead of hanging), then one read more.
StreamTotals ReadStreamToEnd(DecodeStream *stream);

// A stream opened on path: four reads, a seek to 1000 ms, one read, closed;
// then one query. True when the four reads before the seek all gave data.
bool SoakCycle(InputModule *module, const char *path);
