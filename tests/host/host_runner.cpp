#include "host_runner.h"

#include <windows.h>

#include <string.h>

#include "child_process.h"
#include "test_paths.h"

namespace {

const DWORD kTimeoutMs = 120000;

uint32_t Get32(const uint8_t *at) { return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24; }
uint16_t Get16(const uint8_t *at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

}  // namespace

std::string WinePath(const char *unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char &c : path)
        if (c == '/') c = '\\';
    return path;
}

HostRun RunHost(const std::vector<std::string> &args) {
    return RunChild(CommandLine(WinePath(VIVU_HOST_EXE), args), kTimeoutMs);
}

WavFile ReadWav(const std::string &path) {
    WavFile wav;
    std::string bytes = ReadWholeFile(path);
    if (bytes.size() < 44) return wav;
    const uint8_t *at = reinterpret_cast<const uint8_t *>(bytes.data());
    const uint32_t dataSize = Get32(at + 40);
    wav.valid = !memcmp(at, "RIFF", 4) && Get32(at + 4) == 36 + dataSize && !memcmp(at + 8, "WAVEfmt ", 8) &&
                Get32(at + 16) == 16 && Get16(at + 20) == 1 && !memcmp(at + 36, "data", 4) &&
                bytes.size() == 44 + static_cast<size_t>(dataSize) &&
                Get16(at + 32) == Get16(at + 22) * (Get16(at + 34) / 8) &&  // block alignment
                Get32(at + 28) == Get32(at + 24) * Get16(at + 32);          // byte rate
    wav.channels = Get16(at + 22);
    wav.sampleRate = Get32(at + 24);
    wav.byteRate = Get32(at + 28);
    wav.bitsPerSample = Get16(at + 34);
    wav.data.assign(at + 44, at + bytes.size());
    return wav;
}
