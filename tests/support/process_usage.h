// The process's open handles and private memory, for leak checks. On
// Windows the documented counters answer; Wine leaves GetProcessHandleCount
// and PrivateUsage at 0, so there the system's handle table (filtered to
// this process) and the committed page-file bytes stand in.
#pragma once

#include <stddef.h>

struct ProcessUsage {
    unsigned long handles;
    size_t privateBytes;
};

ProcessUsage MeasureProcessUsage();

// Bytes of every block allocated and not yet freed in all of the process's
// heaps: exact to the byte, where committed memory moves in whole steps of
// the heap's growth.
size_t LiveHeapBytes();
