// A player's day under Wine's runtime (see playlist.sh): a playlist of
// public files and the suite's damaged and sound-less ones, pass after pass
// through one module in one process, where a file that played once must
// keep playing and no open may be given up; and two files queried and
// played whole many times over, where every query must tell the format
// the stream delivers and every play must deliver the whole sound. Wine's
// runtime may hang on an open or abort on a close mid-track, so each runs in
// a child of its own, and this side judges what the child printed.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <math.h>
#include <stdio.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "child_process.h"
#include "real_files.h"
#include "test_paths.h"

namespace {

std::string gPlaylist, gWitnesses;
const int kPasses = 3, kRepeats = 40;
const unsigned long kChildTimeoutMs = 600000;
// An open given up keeps its worker and a thread of the runtime's for good:
// 2 threads more at the end of every pass after it (Wine 8 and 10, 64-bit
// build, some 50 pass ends). A pass with none given up ended with as many
// threads as the one before, the warm-up's 2 (the main one and the
// plug-in's idle worker) where none had been; the one more allowed is for
// an idle thread of the runtime's still winding down after a close.
const unsigned kIdleThreadSlack = 1;
const double kLengthToleranceMs = 300;

unsigned ThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    unsigned count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

uint64_t ReadAbout(DecodeStream *stream, double bytes) {
    uint64_t got = 0;
    const uint8_t *data;
    for (uint32_t count; got < bytes && (count = OpsOf(stream)->Read(stream, &data)) != 0;) got += count;
    return got;
}

// The player's steps on one file: query, open, a second of it, a second
// at 40 %, the last two seconds, close. The bytes it gave.
uint64_t PlayAsListed(InputModule *module, const std::string &path) {
    FileInfo info = Describe(module, path);
    DecodeStream *stream = module->ops->OpenStream(module, path.c_str(), 0);
    if (!stream) return 0;
    double second = ByteRate(info) > 0 ? ByteRate(info) : 176400;
    uint64_t bytes = ReadAbout(stream, second);
    OpsOf(stream)->Seek(stream, info.durationMs / 10 * 4);
    bytes += ReadAbout(stream, second);
    OpsOf(stream)->Seek(stream, info.durationMs > 2000 ? info.durationMs - 2000 : 0);
    bytes += ReadStreamToEnd(stream).bytes;
    OpsOf(stream)->Close(stream);
    return bytes;
}

std::string NameOf(const std::string &path) { return path.substr(path.find_last_of('\\') + 1); }

// Prints "file PASS NAME PLAYED MS" per file and "threads PASS COUNT" after
// each pass, pass 0 being one play of a good file to start the runtime.
int PlayPlaylist(const char *list, int passes) {
    InputModule *module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
    PlayAsListed(module, MediaPath("stereo44.wma"));
    printf("threads 0 %u\n", ThreadCount());
    for (int pass = 1; pass <= passes; ++pass) {
        std::ifstream files(list);
        for (std::string path; std::getline(files, path);) {
            DWORD start = GetTickCount();
            bool played = PlayAsListed(module, path) > 0;
            printf("file %d %s %d %lu\n", pass, NameOf(path).c_str(), played, GetTickCount() - start);
        }
        printf("threads %d %u\n", pass, ThreadCount());
    }
    module->ops->Release(module);
    return 0;
}

TEST(Playlist, AFileThatPlayedKeepsPlayingAndNoOpenIsGivenUp) {
    ChildRun run = RunChild(CommandLine(OwnProgramPath(), {"--playlist", gPlaylist, std::to_string(kPasses)}),
                            kChildTimeoutMs);
    printf("%s", run.out.c_str());
    std::istringstream report(run.out);
    std::set<std::string> playedFirst;
    std::vector<unsigned> threads;
    std::string kind, name;
    for (int pass, played; report >> kind >> pass;) {
        unsigned count;
        if (kind == "threads" && report >> count) threads.push_back(count);
        if (kind != "file" || !(report >> name >> played >> count)) continue;
        if (pass == 1 && played) playedFirst.insert(name);
        EXPECT_TRUE(played || !playedFirst.count(name)) << name << " played in pass 1, not in pass " << pass;
    }
    EXPECT_EQ(run.exitCode, 0) << "the playlist's process crashed or hung";
    ASSERT_EQ(threads.size(), kPasses + 1u) << "not every pass was played";
    EXPECT_GT(playedFirst.size(), 0u) << "nothing played in pass 1";
    for (int pass = 1; pass <= kPasses; ++pass)
        EXPECT_LE(threads[pass], threads[0] + kIdleThreadSlack) << "threads left behind after pass " << pass
            << ": opens given up, 2 threads each (a file line of 10 s or more names it)";
}

// Prints "play NAME RATE CHANNELS BITS BYTES" for each query and whole
// play, the files taken in turn.
int PlayRepeatedly(int times, char **paths, int count) {
    InputModule *module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
    for (int time = 0; time < times; ++time) {
        for (int file = 0; file < count; ++file) {
            FileInfo info = Describe(module, paths[file]);
            DecodeStream *stream = module->ops->OpenStream(module, paths[file], 0);
            uint64_t bytes = stream ? ReadStreamToEnd(stream).bytes : 0;
            if (stream) OpsOf(stream)->Close(stream);
            printf("play %s %d %d %d %llu\n", NameOf(paths[file]).c_str(), info.sampleRate, info.channels,
                   info.bitsPerSample, static_cast<unsigned long long>(bytes));
        }
    }
    module->ops->Release(module);
    return 0;
}

// The witnesses, from ffprobe and ffmpeg: "PATH RATE CHANNELS DECODED_MS
// HEADER_MS".
TEST(Playlist, EveryQueryTellsTheFormatPlayedAndEveryPlayIsWhole) {
    std::ifstream witnesses(gWitnesses);
    std::map<std::string, std::vector<long>> expected;
    std::vector<std::string> args = {"--repeat", std::to_string(kRepeats)};
    std::string path;
    for (long rate, channels, ms, headerMs; witnesses >> path >> rate >> channels >> ms >> headerMs;) {
        expected[NameOf(path)] = {rate, channels, 16, ms, headerMs};
        args.push_back(path);
    }
    ASSERT_EQ(args.size(), 4u) << "two witnesses expected in " << gWitnesses;
    ChildRun run = RunChild(CommandLine(OwnProgramPath(), args), kChildTimeoutMs);
    std::istringstream report(run.out);
    std::map<std::string, int> plays;
    std::string word, name;
    for (long rate, channels, bits, bytes; report >> word >> name >> rate >> channels >> bits >> bytes;) {
        const std::vector<long> &file = expected[name];
        ++plays[name];
        EXPECT_EQ(std::vector<long>({rate, channels, bits}), std::vector<long>(file.begin(), file.begin() + 3))
            << name << ": the query's rate, channels, bits, play " << plays[name];
        // In the witnesses' format, so a stream that delivers another one
        // comes out of length too.
        double ms = bytes / (file[0] * file[1] * 2 / 1000.0);
        EXPECT_TRUE(fabs(ms - file[3]) <= kLengthToleranceMs || fabs(ms - file[4]) <= kLengthToleranceMs)
            << name << " play " << plays[name] << " gave " << ms << " ms of sound";
    }
    EXPECT_EQ(run.exitCode, 0) << "the process crashed or hung";
    for (const auto &file : expected) EXPECT_EQ(plays[file.first], kRepeats) << file.first;
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc > 3 && std::string(argv[1]) == "--repeat") return PlayRepeatedly(atoi(argv[2]), argv + 3, argc - 3);
    if (argc == 4 && std::string(argv[1]) == "--playlist") return PlayPlaylist(argv[2], atoi(argv[3]));
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        fprintf(stderr, "usage: playlist_test PLAYLIST WITNESSES (see playlist.sh)\n");
        return 2;
    }
    gPlaylist = argv[1];
    gWitnesses = argv[2];
    return RUN_ALL_TESTS();
}
