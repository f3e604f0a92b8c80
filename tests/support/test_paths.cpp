#include "test_paths.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <fstream>

namespace {

std::string Environment(const char *name, const char *fallback) {
    const char *value = getenv(name);
    return value && *value ? value : fallback;
}

}  // namespace

std::string MediaPath(const std::string &name) { return Environment("VIVU_MEDIA", ".") + "\\" + name; }

std::vector<HeldFile> HeldFiles() {
    std::vector<HeldFile> files;
    std::ifstream list(MediaPath("held.txt"));
    HeldFile file;
    while (list >> file.name >> file.size >> file.claimedMs >> file.decodedMs >> file.witness) files.push_back(file);
    return files;
}

bool ShowsItsLength(uint32_t shownMs, uint32_t claimedMs, uint32_t decodedMs) {
    auto apart = [](uint32_t a, uint32_t b) { return a > b ? a - b : b - a; };
    return apart(shownMs, decodedMs) <= 300 || (shownMs == claimedMs && apart(claimedMs, decodedMs) <= 1000);
}

std::string PluginPath() { return VIVU_PLUGIN_PATH; }

std::string ScratchPath(const std::string &name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string dir = std::string(temp) + "vivu-tests";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\" + name;
}

std::string ReadWholeFile(const std::string &path) {
    std::string bytes;
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

bool NobodyHasOpen(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}
