// A cheap look at a file's first bytes before the media runtime gets it.
// Every WMA file starts with an ASF header object: its 16-byte id, then its
// 64-bit size, which a whole file is at least as long as. A file that starts
// so but is shorter than its header says is never handed to the runtime:
// some runtimes hang on a file whose header is cut short. Content that does
// not start as ASF at all (an MP3 or a WAV named .wma) is the runtime's to
// play or refuse. Knows nothing of Windows.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { kAsfProbeBytes = 24 };

// True when the first `count` bytes begin with the ASF header object's id.
bool StartsAsAsf(const uint8_t *first, size_t count);

// True when the first `count` bytes (count <= kAsfProbeBytes) of a file of
// `fileSize` bytes can start a whole ASF file.
bool CanStartAsfFile(const uint8_t *first, size_t count, uint64_t fileSize);
