// A PCM WAV file written chunk by chunk; the sizes in the header are filled
// in when it is finished. Plain stdio, no Windows API.
#pragma once

#include <stdint.h>
#include <stdio.h>

struct WavFormat {
    uint32_t sampleRate;
    uint16_t channels;
    uint16_t bitsPerSample;
};

struct WavWriter {
    FILE *file;
    WavFormat format;
    uint64_t dataBytes;  // bytes appended so far
    bool failed;         // a write went wrong
};

// The 44-byte header for `dataBytes` of audio (sizes capped at 32 bits).
void WavBuildHeader(const WavFormat &format, uint64_t dataBytes, uint8_t header[44]);

// Creates `path` with a provisional header; false when it cannot be written.
bool WavOpen(WavWriter *writer, const char *path, const WavFormat &format);
void WavAppend(WavWriter *writer, const void *data, uint32_t size);
// Writes the final header and closes the file; false if anything failed.
bool WavFinish(WavWriter *writer);

// Bytes per second of audio in `format` (0 for a format of zeros).
uint32_t WavByteRate(const WavFormat &format);
