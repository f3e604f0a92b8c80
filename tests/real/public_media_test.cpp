// The plug-in on Wine's own runtime over public WMA and ASF files from other
// projects (see public-media.sh): every file is described and played whole
// in a process of its own, a copy of it, which nothing holds afterwards;
// where ffmpeg decodes an ASF file whole the length shown agrees with that
// decode, or is the header's within a second of it; the title holds the
// tags a reading of the header by hand expects.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>

#include "child_process.h"
#include "real_files.h"
#include "test_paths.h"

namespace {

std::string gFolder, gLengths, gTitles;
const unsigned long kFileTimeoutMs = 60000;

// A UTF-8 text in the ANSI code page, as the plug-in stores a tag: at most
// 255 bytes.
std::string Ansi(const std::string &utf8) {
    wchar_t wide[1024];
    char ansi[4096];
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, 1024);
    int bytes = units > 0 ? WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof(ansi), nullptr, nullptr) : 0;
    return bytes > 0 ? std::string(ansi).substr(0, 255) : "";
}

std::string ExpectedTitle(const std::string &name) {
    std::ifstream titles(gTitles);
    std::string line;
    while (std::getline(titles, line)) {
        size_t tab = line.find('\t'), bar = line.find('|', tab);
        if (line.compare(0, tab, name) == 0 && bar != std::string::npos)
            return (Ansi(line.substr(tab + 1, bar - tab - 1)) + "|" + Ansi(line.substr(bar + 1))).substr(0, 255);
    }
    return "(no title listed for " + name + ")";
}

TEST(PublicMedia, EachFileIsDescribedAndPlayedAsItHolds) {
    std::ifstream lengths(gLengths);
    std::string name;
    long headerMs, decodedMs;
    int files = 0;
    while (lengths >> name >> headerMs >> decodedMs) {
        ++files;
        std::string copy = ScratchPath("public-" + name);
        ASSERT_TRUE(CopyFileA((gFolder + "\\" + name).c_str(), copy.c_str(), FALSE)) << name;
        ChildRun run = RunChild(CommandLine(OwnProgramPath(), {"--play", copy}), kFileTimeoutMs);
        if (run.exitCode == -1) run = RunChild(CommandLine(OwnProgramPath(), {"--play", copy}), kFileTimeoutMs);
        std::istringstream report(run.out);
        std::string word, title;
        unsigned shownMs = 0, bytes = 0, free = 0, bytesPerSecond = 0;
        bool finished = run.exitCode == 0 &&
                        (report >> word >> shownMs >> word >> bytes >> word >> bytesPerSecond >> word >> free >> word) &&
                        std::getline(report >> std::ws, title);
        printf("%s: header %ld ms, ffmpeg %ld ms, shows %u ms, plays %u bytes, title \"%s\"\n", name.c_str(), headerMs,
               decodedMs, shownMs, bytes, title.c_str());
        EXPECT_TRUE(finished) << name << " crashed or hung: " << run.out;
        EXPECT_EQ(free, 1u) << name << " is still held";
        if (headerMs >= 0 && decodedMs >= 0) {
            EXPECT_TRUE(ShowsItsLength(shownMs, headerMs, decodedMs)) << name << " shows " << shownMs;
        }
        // Played in the format the query told, the sound lasts what ffmpeg
        // decodes, give or take a decoder's edges; a rate, a channel count
        // or a sample width the stream does not deliver is off by a tenth
        // or more.
        if (decodedMs >= 1000 && bytes > 0) {
            double playedMs = 1000.0 * bytes / bytesPerSecond;
            EXPECT_NEAR(playedMs / decodedMs, 1.0, 0.08) << name << " plays " << playedMs << " ms as the query told";
        }
        EXPECT_EQ(title, ExpectedTitle(name)) << name;
        DeleteFileA(copy.c_str());
    }
    EXPECT_GT(files, 0) << "no lengths in " << gLengths;
}

}  // namespace

// The child's side: describe and play one file with the title template
// "%1|%3"; print the length shown, the bytes played, whether the file is
// free, and the title.
int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--play") {
        InputModule *module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
        module->settings.templateChoice = kUseOwnTemplate;
        strcpy(module->settings.titleTemplate, "%1|%3");
        FileInfo info = Describe(module, argv[2]);
        uint64_t bytes = DecodeFile(module, argv[2]).bytes;
        module->ops->Release(module);
        printf("duration %u bytes %llu per-second %d free %d title %s\n", info.durationMs,
               static_cast<unsigned long long>(bytes), info.sampleRate * info.channels * info.bitsPerSample / 8,
               NobodyHasOpen(argv[2]) ? 1 : 0, info.title);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 4) {
        fprintf(stderr, "usage: public_media_test FOLDER LENGTHS TITLES (see public-media.sh)\n");
        return 2;
    }
    gFolder = argv[1];
    gLengths = argv[2];
    gTitles = argv[3];
    return RUN_ALL_TESTS();
}
