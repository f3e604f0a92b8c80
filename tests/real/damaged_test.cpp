// Damaged and foreign files under the real runtime: no crash, no hang, the
// stream reads to 0 (or plays what the runtime can play) and the query
// returns 1, and nothing is left holding the file. Every variant is derived
// from a real file at test time, each under its own name.
//
// Each file is tried in a child process of its own ("--survive FILE"): now
// and then Wine's GStreamer reader never returns from a damaged file, more
// often on a loaded machine, and a process a file keeps each case
// independent and bounded in time. (Wine's reader also
// forgets the handle of a file it opened by name when its Open fails, which
// kept such files locked; the plug-in hands it a stream over its own handle
// instead, and each child reports whether the file was let go.)
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>

#include "child_process.h"
#include "plugin_library.h"
#include "real_files.h"
#include "test_paths.h"

namespace {

const unsigned long kCaseTimeoutMs = 30000;

void WriteBytes(const std::string &path, const std::string &bytes, size_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(count));
}

// What a child reports of one file: "bytes N seekable S rate R channels C
// duration D size Z free Q S", where Q and S say whether nobody held the
// file open right after the query and right after the stream.
struct Outcome {
    bool finished = false;
    uint64_t bytes = 0;
    int seekable = 0;
    int sampleRate = 0;
    int channels = 0;
    uint32_t durationMs = 0;
    uint32_t fileSize = 0;
    int freeAfterQuery = 0;
    int freeAfterStream = 0;
};

// mode: "--survive" describes and plays the file, "--describe" only describes it.
//
// A child that hangs is given one more try: on a loaded machine Wine's
// GStreamer reader now and then never returns from a damaged file that it
// reads in a second anywhere else, while a hang of the plug-in's own, which
// keeps no timing, would come back every time.
Outcome SurviveInChild(const std::string &path, const char *mode = "--survive") {
    ChildRun run = RunChild(CommandLine(OwnProgramPath(), {mode, path}), kCaseTimeoutMs);
    if (run.exitCode == -1) {
        printf("%s did not finish within %lu ms; trying it again\n", path.c_str(), kCaseTimeoutMs);
        run = RunChild(CommandLine(OwnProgramPath(), {mode, path}), kCaseTimeoutMs);
    }
    std::istringstream report(run.out);
    std::string word;
    Outcome outcome;
    outcome.finished = run.exitCode == 0 &&
                       (report >> word >> outcome.bytes >> word >> outcome.seekable >> word >> outcome.sampleRate >>
                        word >> outcome.channels >> word >> outcome.durationMs >> word >> outcome.fileSize >> word >>
                        outcome.freeAfterQuery >> outcome.freeAfterStream);
    return outcome;
}

class DamagedFiles : public ::testing::Test {
protected:
    void SetUp() override {
        module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
        original = ReadWholeFile(MediaPath("stereo44.wma"));
        ASSERT_GT(original.size(), 10000u);
    }
    void TearDown() override { module->ops->Release(module); }

    // Describes and plays the file within the time limit.
    Outcome Run(const std::string &path, const char *mode = "--survive") {
        Outcome outcome = SurviveInChild(path, mode);
        EXPECT_TRUE(outcome.finished) << path << " hung or crashed";
        EXPECT_EQ(outcome.seekable, 1) << path;
        EXPECT_GT(outcome.sampleRate, 0) << path;
        return outcome;
    }
    // The same; returns the bytes decoded.
    uint64_t Survive(const std::string &path) { return Run(path).bytes; }

    InputModule *module = nullptr;
    std::string original;
};

TEST_F(DamagedFiles, TruncatedAnywhereInHeaderOrData) {
    const size_t cuts[] = {1, 16, 30, 100, 500, 1000, 3000, 5000, 5500, 8000, 20000, original.size() - 1};
    uint64_t full = 5 * 44100 * 4;
    for (size_t cut : cuts) {
        SCOPED_TRACE(cut);
        std::string path = ScratchPath("truncated-" + std::to_string(cut) + ".wma");
        WriteBytes(path, original, cut);
        EXPECT_LE(Survive(path), full + full / 50);
    }
}

// Files cut right after their header, or inside their first data packet:
// the runtime cannot open them, and they are left free to delete.
TEST_F(DamagedFiles, FilesTheRuntimeCannotOpenAreNotKeptOpen) {
    uint64_t header = 0;
    for (int at = 7; at >= 0; --at) header = header << 8 | static_cast<uint8_t>(original[16 + at]);
    ASSERT_LT(header + 150, original.size());
    for (uint64_t cut : {header, header + 150}) {
        SCOPED_TRACE(cut);
        std::string path = ScratchPath("cut-" + std::to_string(cut) + ".wma");
        WriteBytes(path, original, static_cast<size_t>(cut));
        Outcome outcome = Run(path);
        EXPECT_EQ(outcome.freeAfterQuery, 1);
        EXPECT_EQ(outcome.freeAfterStream, 1);
    }
}

TEST_F(DamagedFiles, FlippedBytesInTheHeader) {
    for (size_t at = 0; at < 5000 && at < original.size(); at += 199) {
        SCOPED_TRACE(at);
        std::string damaged = original;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xFF);
        damaged[at + 1] = static_cast<char>(damaged[at + 1] ^ 0x5A);
        std::string path = ScratchPath("flipped-" + std::to_string(at) + ".wma");
        WriteBytes(path, damaged, damaged.size());
        Survive(path);
    }
}

// Headers that lie about their objects, counts and lengths, and one of
// 100,000 descriptors, described by the plug-in from the header itself. The
// file's properties come first and stay true, so each still gives its five
// seconds; the contradicting one, whose preroll is longer than the whole
// file, states no length and shows what its packets hold. (Wine's decoder
// may never return from a stream on that one: only the description is the
// plug-in's own.)
TEST_F(DamagedFiles, HostileHeaders) {
    for (const char *name : {"hostile-object-past-end.wma", "hostile-count-past-object.wma",
                             "hostile-string-past-value.wma", "hostile-100k-descriptors.wma",
                             "hostile-contradicting.wma"}) {
        SCOPED_TRACE(name);
        Outcome outcome = Run(MediaPath(name), "--describe");
        EXPECT_NEAR(outcome.durationMs, 5000, 100);
    }
}

// Files whose header and data disagree (held.txt): downloads cut off,
// zero-filled or shifted, a header that claims a minute for five seconds, a
// broadcast, a file of variable bit rate cut at half its packets, one whose
// last packets are sent long before their sound ends. Each shows its own
// size, and the length its decode gives (ffmpeg's, or the runtime's where
// ffmpeg finds sound no runtime plays); a whole file, the length its
// header states. Those the runtime plays whole play what they show.
TEST_F(DamagedFiles, EachFileShowsTheLengthItHolds) {
    std::vector<HeldFile> files = HeldFiles();
    EXPECT_EQ(files.size(), 9u) << "held.txt missing in " << MediaPath("");
    for (const HeldFile &held : files) {
        bool byRuntime = held.witness == "runtime";
        bool plays = held.name == "claims-more.wma" || byRuntime;
        Outcome outcome = Run(MediaPath(held.name), plays ? "--survive" : "--describe");
        double playedMs = 1000.0 * outcome.bytes / (outcome.sampleRate * outcome.channels * 2);
        uint32_t decodedMs = byRuntime ? static_cast<uint32_t>(playedMs) : held.decodedMs;
        printf("%s (%u bytes, its header claims %u ms, its decode runs %u ms): shows %u ms and %u bytes\n",
               held.name.c_str(), held.size, held.claimedMs, decodedMs, outcome.durationMs, outcome.fileSize);
        EXPECT_TRUE(ShowsItsLength(outcome.durationMs, held.claimedMs, decodedMs)) << held.name;
        EXPECT_EQ(outcome.fileSize, held.size) << held.name;
        if (plays) {
            EXPECT_NEAR(playedMs, outcome.durationMs, 300) << held.name;
        }
    }
}

// A music video saved as .wma gives no sound rather than its pictures as
// noise; an MP3 named .wma plays, and shows its length.
TEST_F(DamagedFiles, ContentThatIsNotWmaPlaysOnlyAsSound) {
    EXPECT_EQ(Survive(MediaPath("video-only.wma")), 0u);
    Outcome mp3 = Run(MediaPath("mp3-named.wma"));
    EXPECT_NEAR(mp3.durationMs, 3030, 100);
    double seconds = static_cast<double>(mp3.bytes) / (mp3.sampleRate * mp3.channels * 2);
    EXPECT_NEAR(seconds, 3.03, 0.1);
}

TEST_F(DamagedFiles, ThingsThatAreNotWmaFiles) {
    for (const char *name : {"empty.wma", "random.wma", "wave-named.wma", "directory.wma", "no-such-file.wma"}) {
        SCOPED_TRACE(name);
        std::string path = MediaPath(name);
        uint64_t bytes = Survive(path);
        if (std::string(name) != "wave-named.wma") {  // a runtime may well play a WAV
            EXPECT_EQ(bytes, 0u);
        }
    }
    Survive("Z:\\no\\such\\folder\\song.wma");
    Survive("");
}

// A good file, one whose header Wine's runtime refuses (a child object
// past the header's end) and the good one again, three rounds through the
// DLL in one process pinned to one CPU, where Wine's open once waited for
// ever. Each step prints the length shown and the bytes played.
TEST_F(DamagedFiles, ARefusedFileNeverStopsThePlaylist) {
    std::string good = MediaPath("stereo44.wma"), refused = MediaPath("hostile-object-past-end.wma");
    ChildRun run = RunChild(CommandLine(OwnProgramPath(), {"--pinned-rounds", good, refused}), 120000);
    ASSERT_EQ(run.exitCode, 0) << "hung or crashed";
    std::istringstream report(run.out);
    for (int step = 0; step < 9; ++step) {
        uint32_t durationMs = 0;
        unsigned long long bytes = 0;
        EXPECT_TRUE(report >> durationMs >> bytes) << step;
        EXPECT_NEAR(durationMs, 5000, 100) << step;
        if (step % 3 == 1)
            EXPECT_EQ(bytes, 0u) << step;
        else
            EXPECT_NEAR(bytes, 5 * 44100 * 4, 5 * 44100 * 4 / 50) << step;
    }
}

}  // namespace

// The child's side: describe and play one file, print what came of it.
int main(int argc, char **argv) {
    if (argc == 4 && std::string(argv[1]).find("-rounds") != std::string::npos) {
        DWORD_PTR mine, all;
        if (std::string(argv[1]) == "--pinned-rounds" && GetProcessAffinityMask(GetCurrentProcess(), &mine, &all))
            SetProcessAffinityMask(GetCurrentProcess(), mine & (~mine + 1));
        InputModule *module = NewPluginModule(nullptr);
        for (int step = 0; step < 9; ++step) {
            const char *path = argv[step % 3 == 1 ? 3 : 2];
            printf("%u %llu\n", Describe(module, path).durationMs,
                   static_cast<unsigned long long>(DecodeFile(module, path).bytes));
            fflush(stdout);
        }
        module->ops->Release(module);
        return 0;
    }
    if (argc == 3 && (std::string(argv[1]) == "--survive" || std::string(argv[1]) == "--describe")) {
        InputModule *module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
        FileInfo info = Describe(module, argv[2]);
        int freeAfterQuery = NobodyHasOpen(argv[2]);
        uint64_t bytes = std::string(argv[1]) == "--survive" ? DecodeFile(module, argv[2]).bytes : 0;
        int freeAfterStream = NobodyHasOpen(argv[2]);
        module->ops->Release(module);
        printf("bytes %llu seekable %d rate %d channels %d duration %u size %u free %d %d\n",
               static_cast<unsigned long long>(bytes), info.seekable, info.sampleRate, info.channels, info.durationMs,
               info.fileSize, freeAfterQuery, freeAfterStream);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
