// Runs vivu-host.exe as a child process, the way a user would, and reads
// back what it printed and the WAV file it wrote.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct HostRun {
    int exitCode = -1;  // -1: it did not finish in time
    std::string out;
    std::string err;
};

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

// Keeps one HKCU registry value as it was: saved on construction, written
// back (or deleted, if it did not exist) on destruction.
class SavedRegistryValue {
public:
    SavedRegistryValue(const char *keyName, const char *valueName);
    ~SavedRegistryValue();
    SavedRegistryValue(const SavedRegistryValue &) = delete;
    SavedRegistryValue &operator=(const SavedRegistryValue &) = delete;

private:
    std::string key_, value_;
    bool existed_ = false;
    unsigned long type_ = 0;
    std::vector<uint8_t> data_;
};

// Writes an HKCU value (creating the key); `type` is a REG_* constant.
void WriteRegistryValue(const char *keyName, const char *valueName, unsigned long type, const void *data,
                        unsigned long size);
// An HKCU value's bytes as text (empty when it cannot be read).
std::string ReadRegistryText(const char *keyName, const char *valueName);
