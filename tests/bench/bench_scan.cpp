// The library scan under Wine: a player that adds a folder queries every
// file in it. What a query needs of a file is its header and its end (the
// last packets tell how long it plays), so the scan is timed against reading
// just that: the header object, as long as its own size field says (bytes
// 16 to 23 of an ASF file), and the last 64 KB.
#include "bench_info.h"

#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "bench_common.h"

namespace {

const int kRounds = 10;  // scans of the whole folder each way, more where they scatter
const double kBudgetSeconds = 60;

std::vector<std::string> MediaFiles(const std::string &mediaDir) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((mediaDir + "\\*.wma").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(mediaDir + "\\" + found.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return files;
}

void ReadAt(HANDLE file, uint64_t offset, uint64_t bytes, std::vector<char> *buffer) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD done = 0;
    buffer->resize(bytes);
    if (bytes && SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        ReadFile(file, buffer->data(), static_cast<DWORD>(bytes), &done, nullptr);
}

double ReadHeadAndTail(const std::string &path) {
    double start = NowSeconds();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return NowSeconds() - start;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    uint64_t fileBytes = static_cast<uint64_t>(size.QuadPart), headerBytes = 0;
    std::vector<char> buffer;
    ReadAt(file, 0, fileBytes < 30 ? fileBytes : 30, &buffer);
    if (buffer.size() == 30) memcpy(&headerBytes, buffer.data() + 16, 8);
    ReadAt(file, 0, headerBytes < fileBytes ? headerBytes : fileBytes, &buffer);
    ReadAt(file, fileBytes > 65536 ? fileBytes - 65536 : 0, fileBytes < 65536 ? fileBytes : 65536, &buffer);
    CloseHandle(file);
    return NowSeconds() - start;
}

double QueryFile(PlayerModule *module, const std::string &path) {
    PlayerFileInfo info = {};
    double start = NowSeconds();
    module->table->getFileInfo(module, path.c_str(), 0, &info);
    return NowSeconds() - start;
}

}  // namespace

int LibraryScanAgainstReads(const std::string &mediaDir) {
    std::vector<std::string> files = MediaFiles(mediaDir);
    LoadedPlugin plugin = LoadBuiltPlugin();
    QueryFile(plugin.module, mediaDir + "\\long180.wma");  // warm-up: the first reader loads the decoder
    PairedTimes pairs = TakePairs(kRounds, kBudgetSeconds, [&](int round, double *viaPlugin, double *reads) {
        *viaPlugin = *reads = 0;
        for (const std::string &file : files) {
            // The order alternates, as in the other lines.
            if (round % 2) {
                *reads += ReadHeadAndTail(file);
                *viaPlugin += QueryFile(plugin.module, file);
            } else {
                *viaPlugin += QueryFile(plugin.module, file);
                *reads += ReadHeadAndTail(file);
            }
        }
        return !files.empty();
    });
    UnloadPlugin(&plugin);
    if (!EnoughPairs(pairs)) {
        printf("(scan) no .wma files in %s to scan\n", mediaDir.c_str());
        return kBenchCannotMeasure;
    }
    printf("(scan) library scan under Wine, GetFileInfo on each of the %zu files of the test media: plug-in "
           "%.2f ms a file, reading its header and last 64 KB %.3f ms a file (medians)\n     plug-in / reads, ",
           files.size(), Median(&pairs.firstTimes) * 1000 / files.size(),
           Median(&pairs.secondTimes) * 1000 / files.size());
    return PairedVerdict(pairs, 3) ? kBenchAllPass : kBenchSomeMiss;
}
