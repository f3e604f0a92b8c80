#include "host_runner.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "test_paths.h"

namespace {

const DWORD kTimeoutMs = 120000;

std::string Quote(const std::string &arg) {
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

HANDLE CreateCapture(const std::string &path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

std::string ReadAll(const std::string &path) {
    std::string text;
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, got);
    fclose(file);
    return text;
}

std::string WithoutReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

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
    std::string command = Quote(WinePath(VIVU_HOST_EXE));
    for (const std::string &arg : args) command += " " + Quote(arg);
    const std::string outPath = ScratchPath("host-stdout.txt"), errPath = ScratchPath("host-stderr.txt");
    HANDLE out = CreateCapture(outPath), err = CreateCapture(errPath);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    HostRun run;
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        run.err = "CreateProcess failed for " + command;
        return run;
    }
    if (WaitForSingleObject(process.hProcess, kTimeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.exitCode = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Text-mode output ends its lines with CR LF; the checks look for LF.
    run.out = WithoutReturns(ReadAll(outPath));
    run.err = WithoutReturns(ReadAll(errPath));
    return run;
}

WavFile ReadWav(const std::string &path) {
    WavFile wav;
    std::string bytes = ReadAll(path);
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

SavedRegistryValue::SavedRegistryValue(const char *keyName, const char *valueName) : key_(keyName), value_(valueName) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key)) return;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        data_.resize(size);
        existed_ = RegQueryValueExA(key, valueName, nullptr, &type, data_.data(), &size) == ERROR_SUCCESS;
        data_.resize(size);
        type_ = type;
    }
    RegCloseKey(key);
}

SavedRegistryValue::~SavedRegistryValue() {
    if (existed_) {
        WriteRegistryValue(key_.c_str(), value_.c_str(), type_, data_.data(), static_cast<unsigned long>(data_.size()));
        return;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_WRITE, &key)) return;
    RegDeleteValueA(key, value_.c_str());
    RegCloseKey(key);
}

void WriteRegistryValue(const char *keyName, const char *valueName, unsigned long type, const void *data,
                        unsigned long size) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) return;
    RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
}

std::string ReadRegistryText(const char *keyName, const char *valueName) {
    char text[512] = "";
    DWORD size = sizeof(text) - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key)) return "";
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::string(text, strnlen(text, size)) : "";
}
