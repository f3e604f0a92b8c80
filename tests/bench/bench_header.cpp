#include "bench_header.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "bench_common.h"
#include "asf/asf_header.h"

namespace {

const int kRounds = 30;  // paired readings, more where they scatter; fewer when one takes long
const double kBudgetSeconds = 60;
// A reading of an ordinary header takes microseconds: it is repeated until
// this much time has passed, so that the timer's grain and one interruption
// weigh little.
const double kShortestTiming = 0.002;
const uint64_t kHostileBytes = 256ull << 20;
const uint32_t kChildBytes = 24;          // an id and a 64-bit size, no body
const uint32_t kChildrenPerWrite = 43690;  // about 1 MB of them
const char kOrdinaryFile[] = "long180.wma";

// 75B22630-668E-11CF-A6D9-00AA0062CE6C, as it is stored in the file.
const uint8_t kHeaderObjectId[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

void PutLittle(uint8_t *at, uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Writes the hostile file: a Header Object whose size is the whole file,
// then children of an id no reader knows, each 24 bytes. Written in large
// blocks, as it is all the same. False when it could not be written whole.
bool WriteHostileFile(const char *path, uint64_t *bytes) {
    const uint32_t children = static_cast<uint32_t>((kHostileBytes - 30) / kChildBytes);
    *bytes = 30 + static_cast<uint64_t>(children) * kChildBytes;
    uint8_t header[30];
    memcpy(header, kHeaderObjectId, sizeof(kHeaderObjectId));
    PutLittle(header + 16, *bytes, 8);
    PutLittle(header + 24, children, 4);
    header[28] = 0x01;
    header[29] = 0x02;
    std::vector<uint8_t> block(static_cast<size_t>(kChildrenPerWrite) * kChildBytes, 0x11);
    for (size_t at = 0; at < block.size(); at += kChildBytes) PutLittle(&block[at + 16], kChildBytes, 8);

    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD wrote = 0;
    bool whole = WriteFile(file, header, sizeof(header), &wrote, nullptr) && wrote == sizeof(header);
    for (uint32_t left = children; whole && left > 0;) {
        const uint32_t count = left < kChildrenPerWrite ? left : kChildrenPerWrite;
        const DWORD size = count * kChildBytes;
        whole = WriteFile(file, block.data(), size, &wrote, nullptr) && wrote == size;
        left -= count;
    }
    return CloseHandle(file) && whole;
}

// The plug-in's own way to hand the reader a file: ReadFile at an offset.
size_t ReadAt(void *context, uint64_t offset, void *buffer, size_t size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(context), buffer, static_cast<DWORD>(size), &got, &at)) return 0;
    return got;
}

void CountAttribute(void *context, const AsfAttribute &) { ++*static_cast<int *>(context); }

// A file open for the reader, with the memory the reading needs (some 18 KB,
// on the heap as in the plug-in).
struct HeaderSource {
    HANDLE handle = INVALID_HANDLE_VALUE;
    AsfHeaderFile *file = nullptr;
};

bool OpenSource(const char *path, HeaderSource *source) {
    source->handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size;
    if (source->handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(source->handle, &size)) return false;
    source->file = static_cast<AsfHeaderFile *>(malloc(sizeof(AsfHeaderFile)));
    if (!source->file) return false;
    source->file->read = ReadAt;
    source->file->readContext = source->handle;
    source->file->fileSize = static_cast<uint64_t>(size.QuadPart);
    return true;
}

void CloseSource(HeaderSource *source) {
    free(source->file);
    if (source->handle != INVALID_HANDLE_VALUE) CloseHandle(source->handle);
}

// Seconds per reading of the header, over as many readings as fill
// kShortestTiming (one, where one takes longer); *attributes gets the count
// one reading handed out. Whether the reader took the file does not matter:
// turning a file down costs time too.
double TimeReading(const HeaderSource &source, int *attributes) {
    int readings = 0;
    const double start = NowSeconds();
    double seconds;
    do {
        *attributes = 0;
        AsfHeld held;
        ReadAsfHeaderAndData(source.file, CountAttribute, attributes, &held);
        ++readings;
        seconds = NowSeconds() - start;
    } while (seconds < kShortestTiming);
    return seconds / readings;
}

int Measure(const HeaderSource &hostile, const HeaderSource &ordinary, uint64_t hostileBytes) {
    int hostileAttributes = 0, ordinaryAttributes = 0;
    TimeReading(ordinary, &ordinaryAttributes);  // warm-up; the hostile file was just written through the cache
    PairedTimes pairs = TakePairs(kRounds, kBudgetSeconds, [&](int round, double *onHostile, double *onOrdinary) {
        // The order alternates, as in the other pairs.
        if (round % 2) {
            *onOrdinary = TimeReading(ordinary, &ordinaryAttributes);
            *onHostile = TimeReading(hostile, &hostileAttributes);
        } else {
            *onHostile = TimeReading(hostile, &hostileAttributes);
            *onOrdinary = TimeReading(ordinary, &ordinaryAttributes);
        }
        return true;
    });
    if (!EnoughPairs(pairs) || ordinaryAttributes == 0) {
        printf("(f) the header reader found no attributes in %s: nothing to compare with\n", kOrdinaryFile);
        return kBenchCannotMeasure;
    }
    printf("(f) ReadAsfHeaderAndData on a %llu-byte file whose header claims all of it, nothing but 24-byte objects of no "
           "known kind: %.3f ms, on %s's header: %.3f ms (medians; %d and %d attributes)\n    hostile / ordinary, ",
           static_cast<unsigned long long>(hostileBytes), Median(&pairs.firstTimes) * 1e3, kOrdinaryFile,
           Median(&pairs.secondTimes) * 1e3, hostileAttributes, ordinaryAttributes);
    return PairedVerdict(pairs, 2) ? kBenchAllPass : kBenchSomeMiss;
}

}  // namespace

int HeaderReaderOnHostileFile(const std::string &mediaDir) {
    const std::string ordinaryPath = mediaDir + "\\" + kOrdinaryFile;
    char folder[MAX_PATH], hostilePath[MAX_PATH];
    if (!GetTempPathA(sizeof(folder), folder) || !GetTempFileNameA(folder, "vvb", 0, hostilePath)) {
        printf("(f) no scratch file for the hostile header\n");
        return kBenchCannotMeasure;
    }
    uint64_t hostileBytes = 0;
    HeaderSource hostile, ordinary;
    int status = kBenchCannotMeasure;
    if (!WriteHostileFile(hostilePath, &hostileBytes))
        printf("(f) could not write %s (256 MB)\n", hostilePath);
    else if (!OpenSource(hostilePath, &hostile) || !OpenSource(ordinaryPath.c_str(), &ordinary))
        printf("(f) could not open %s or %s\n", hostilePath, ordinaryPath.c_str());
    else
        status = Measure(hostile, ordinary, hostileBytes);
    CloseSource(&hostile);
    CloseSource(&ordinary);
    DeleteFileA(hostilePath);
    return status;
}
