// Shared steps of the real-file tests: describe a file and decode it
// through a stream.
#pragma once

#include <stdint.h>

#include <string>

#include "plugin/module.h"
#include "plugin_drive.h"

typedef StreamTotals Decoded;

inline const StreamOps *OpsOf(DecodeStream *stream) { return *reinterpret_cast<const StreamOps *const *>(stream); }

// GetFileInfo into a record that starts zeroed with the title "before".
FileInfo Describe(InputModule *module, const std::string &path);

// Every chunk to the end, each with its data; the read after the end must
// give 0 again.
Decoded ReadToEnd(DecodeStream *stream);

// Opens, optionally seeks (seekMs >= 0, which must succeed), reads to the end, closes.
Decoded DecodeFile(InputModule *module, const std::string &path, int32_t seekMs = -1);

// Wine's runtime now and then ends a file early on a loaded machine, where a
// plug-in that drops data drops it on every try. So a decode more than
// `tolerance` bytes short of `expectedBytes` is tried again, three tries in
// all; the try nearest the expected length is returned for the caller's check.
Decoded DecodeFileNear(InputModule *module, const std::string &path, int32_t seekMs, double expectedBytes,
                       double tolerance);

// Bytes a second of 16-bit PCM in the record's format.
inline double ByteRate(const FileInfo &info) {
    return static_cast<double>(info.sampleRate) * info.channels * (info.bitsPerSample / 8);
}
