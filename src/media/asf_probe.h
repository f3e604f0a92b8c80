// A cheap look at a file's first bytes before the media runtime gets it.
// Every WMA file starts with an ASF header object: its 16-byte id, then its
// 64-bit size, which a whole file is at least as long as. The runtime is
// never handed a file that fails this test: some runtimes hang on a file
// whose header is cut short. Knows nothing of Windows.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { kAsfProbeBytes = 24 };

// True when the first `count` bytes (count <= kAsfProbeBytes) of a file of
// `fileSize` bytes can start a whole ASF file.
bool CanStartAsfFile(const uint8_t *first, size_t count, uint64_t fileSize);
