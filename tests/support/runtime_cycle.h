// The runtime calls one soak cycle makes through the plug-in (a stream: output
// format, four samples, a seek, one more sample; then a query: header view,
// attribute count, output format), made straight on the runtime. Wine's own reader
// keeps a few kilobytes for every reader, seek and format query, which is
// not the plug-in's: this measures that share.
#pragma once

#include <wchar.h>

// False when no runtime could be loaded, it made no reader, or the file
// did not open.
bool RunRuntimeCycle(const wchar_t *path);
