// Runs vivu-host.exe as a child process, the way a user would, and reads
// back what it printed and the WAV file it wrote.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "child_process.h"

typedef ChildRun HostRun;

// `args` are passed as separate, quoted arguments.
HostRun RunHost(const std::vector<std::string> &args);

// Unix path of a built file (from CMake) -> the same file on Wine's Z: drive.
std::string WinePath(const char *unixPath);

struct WavFile {
    bool valid = false;  // a 44-byte PCM header whose sizes match the file
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint32_t byteRate = 0;
    std::vector<uint8_t> data;
};
WavFile ReadWav(const std::string &path);
