#include "wav_writer.h"

#include <string.h>

namespace {

void Put16(uint8_t *at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t *at, uint32_t value) {
    Put16(at, static_cast<uint16_t>(value));
    Put16(at + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace

uint32_t WavByteRate(const WavFormat &format) {
    return format.sampleRate * format.channels * (format.bitsPerSample / 8u);
}

void WavBuildHeader(const WavFormat &format, uint64_t dataBytes, uint8_t header[44]) {
    // RIFF sizes are 32-bit; a longer recording keeps the largest size that fits.
    const uint32_t data = dataBytes > 0xffffffffull - 36 ? 0xffffffffu - 36 : static_cast<uint32_t>(dataBytes);
    memcpy(header, "RIFF", 4);
    Put32(header + 4, 36 + data);
    memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);  // size of the PCM format block
    Put16(header + 20, 1);   // WAVE_FORMAT_PCM
    Put16(header + 22, format.channels);
    Put32(header + 24, format.sampleRate);
    Put32(header + 28, WavByteRate(format));
    Put16(header + 32, static_cast<uint16_t>(format.channels * (format.bitsPerSample / 8u)));
    Put16(header + 34, format.bitsPerSample);
    memcpy(header + 36, "data", 4);
    Put32(header + 40, data);
}

bool WavOpen(WavWriter *writer, const char *path, const WavFormat &format) {
    writer->file = fopen(path, "wb");
    writer->format = format;
    writer->dataBytes = 0;
    writer->failed = writer->file == nullptr;
    if (writer->failed) return false;
    uint8_t header[44];
    WavBuildHeader(format, 0, header);
    writer->failed = fwrite(header, 1, sizeof(header), writer->file) != sizeof(header);
    return !writer->failed;
}

void WavAppend(WavWriter *writer, const void *data, uint32_t size) {
    if (writer->failed || size == 0) return;
    if (fwrite(data, 1, size, writer->file) != size) writer->failed = true;
    writer->dataBytes += size;
}

bool WavFinish(WavWriter *writer) {
    if (!writer->file) return false;
    uint8_t header[44];
    WavBuildHeader(writer->format, writer->dataBytes, header);
    if (fseek(writer->file, 0, SEEK_SET) != 0 || fwrite(header, 1, sizeof(header), writer->file) != sizeof(header))
        writer->failed = true;
    if (fclose(writer->file) != 0) writer->failed = true;
    writer->file = nullptr;
    return !writer->failed;
}
