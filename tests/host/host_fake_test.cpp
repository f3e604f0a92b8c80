// vivu-host against a module with known answers: every byte the module
// hands out must reach the WAV file, in order, under the record's format.
#include <gtest/gtest.h>
#include <windows.h>

#include "fake_plugin.h"
#include "host_runner.h"
#include "registry_sandbox.h"
#include "test_paths.h"

namespace {

std::string FakeDll() { return WinePath(FAKE_PLUGIN_DLL); }

HostRun PlayFake(const std::string &name, const std::string &wav, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"play", name, "-o", ScratchPath(wav), "--dll", FakeDll()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunHost(args);
}

size_t ChunksFor(uint32_t bytes) {
    size_t chunks = 0;
    for (uint32_t left = bytes; left > 0; ++chunks) {
        uint32_t size = kFakeChunkSizes[chunks % (sizeof(kFakeChunkSizes) / sizeof(kFakeChunkSizes[0]))];
        left -= size < left ? size : left;
    }
    return chunks;
}

// The first offset where `data` differs from the stream from `start` on.
size_t FirstMismatch(const std::vector<uint8_t> &data, uint32_t start) {
    for (size_t i = 0; i < data.size(); ++i)
        if (data[i] != FakeStreamByte(start + static_cast<uint32_t>(i))) return i;
    return data.size();
}

bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST(HostWithFakeModule, WritesEveryChunkInOrderUnderTheRecordsFormat) {
    HostRun run = PlayFake("C:\\music\\song.fake", "fake-all.wav");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    WavFile wav = ReadWav(ScratchPath("fake-all.wav"));
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.sampleRate, static_cast<uint32_t>(kFakeSampleRate));
    EXPECT_EQ(wav.channels, kFakeChannels);
    EXPECT_EQ(wav.bitsPerSample, kFakeBitsPerSample);
    ASSERT_EQ(wav.data.size(), kFakeStreamBytes);
    EXPECT_EQ(FirstMismatch(wav.data, 0), wav.data.size());
    EXPECT_TRUE(Has(run.out, "chunks: " + std::to_string(ChunksFor(kFakeStreamBytes)) + "\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "bytes: " + std::to_string(kFakeStreamBytes) + "\n")) << run.out;
    // 100,003 bytes of 8 kHz mono 8-bit audio.
    EXPECT_TRUE(Has(run.out, "audio: 12.500 s\n")) << run.out;
}

TEST(HostWithFakeModule, PrintsTheModuleAndTheRecordAsGiven) {
    HostRun run = PlayFake("song.FAKE", "fake-print.wav");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const char *line :
         {"module: Fake module\n", "filter: \"Fake data\" -> \"*.FAKE\"\n", "filter: \"Other fake\" -> \"*.FK\"\n",
          "filter pairs: 2\n", "CanHandle: 1\n", "GetFileInfo: 1\n", "file size: 123456 bytes\n",
          "duration: 2500 ms\n", "bitrate: 64000 bit/s\n", "format: 8000 Hz, 1 channels, 8 bits\n"})
        EXPECT_TRUE(Has(run.out, line)) << line << " missing from\n" << run.out;
}

TEST(HostWithFakeModule, SeekIsPassedAndReadingGoesOnFromThere) {
    HostRun run = PlayFake("song.fake", "fake-seek.wav", {"--seek", "1234"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "Seek(1234): 1234\n")) << run.out;
    WavFile wav = ReadWav(ScratchPath("fake-seek.wav"));
    ASSERT_TRUE(wav.valid);
    const uint32_t start = 1234 * kFakeBytesPerMs;
    ASSERT_EQ(wav.data.size(), kFakeStreamBytes - start);
    EXPECT_EQ(FirstMismatch(wav.data, start), wav.data.size());
}

TEST(HostWithFakeModule, RecordWithoutFormatGivesCdFormat) {
    HostRun run = PlayFake("noformat.fake", "fake-noformat.wav");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    WavFile wav = ReadWav(ScratchPath("fake-noformat.wav"));
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_EQ(wav.channels, 2u);
    EXPECT_EQ(wav.bitsPerSample, 16u);
    EXPECT_EQ(wav.data.size(), kFakeStreamBytes);
}

TEST(HostWithFakeModule, NoAudioEndsWithStatusFour) {
    HostRun silent = PlayFake("silent.fake", "fake-silent.wav");
    EXPECT_EQ(silent.exitCode, 4) << silent.out << silent.err;
    EXPECT_TRUE(Has(silent.err, "read 0 bytes")) << silent.err;
    HostRun noStream = PlayFake("nostream.fake", "fake-nostream.wav");
    EXPECT_EQ(noStream.exitCode, 4) << noStream.out << noStream.err;
    EXPECT_TRUE(Has(noStream.err, "no stream")) << noStream.err;
}

TEST(HostWithFakeModule, RefusedFileEndsWithStatusThreeAndSaysWhy) {
    HostRun run = PlayFake("song.wma", "fake-refused.wav");
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_TRUE(Has(run.err, "CanHandle gave 0")) << run.err;
    EXPECT_TRUE(Has(run.err, "*.FAKE")) << run.err;
}

TEST(HostWithFakeModule, ModulesThatCannotBeHadEndWithStatusTwo) {
    HostRun noExport = RunHost({"info", "song.fake", "--dll", "kernel32.dll"});
    EXPECT_EQ(noExport.exitCode, 2) << noExport.out << noExport.err;
    EXPECT_TRUE(Has(noExport.err, "no export named Velmor_GetInputModule2")) << noExport.err;

    SetEnvironmentVariableA(FAKE_NULL_MODULE_VARIABLE, "1");  // the child inherits it
    HostRun nullModule = RunHost({"info", "song.fake", "--dll", FakeDll()});
    SetEnvironmentVariableA(FAKE_NULL_MODULE_VARIABLE, nullptr);
    EXPECT_EQ(nullModule.exitCode, 2) << nullModule.out << nullModule.err;
    EXPECT_TRUE(Has(nullModule.err, "returned no module")) << nullModule.err;
}

TEST(HostRegistry, PlayerTemplateIsStoredBeforeTheQuery) {
    PlayerKeySandbox keep;
    HostRun run = RunHost({"info", "song.fake", "--dll", FakeDll(), "--player-template", "%ARTIST% / %TITLE%"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "title: \"Fake <%ARTIST% / %TITLE%>\"\n")) << run.out;
    EXPECT_EQ(ReadText(kPlayerKey, "TrackTitleTemplate"), "%ARTIST% / %TITLE%");
}

TEST(HostRegistry, ConfigurePrintsItsResultAndTheSavedValues) {
    PlayerKeySandbox keep;
    HostRun run = RunHost({"configure", "--dll", FakeDll()});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "Configure: 0 (settings saved)\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "id3ordial: REG_BINARY, 1 bytes, 01\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "Trackline: REG_SZ \"" FAKE_SAVED_TEMPLATE "\"\n")) << run.out;

    HostRun about = RunHost({"about", "--dll", FakeDll()});
    EXPECT_EQ(about.exitCode, 0) << about.out << about.err;
    EXPECT_TRUE(Has(about.out, "ShowAbout: " + std::to_string(kFakeAboutResult) + "\n")) << about.out;
}

TEST(HostCommandLine, HelpAndMistakes) {
    HostRun help = RunHost({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char *part : {"play FILE", "info FILE", "configure", "about", "--seek", "--player-template"})
        EXPECT_TRUE(Has(help.out, part)) << part;
    EXPECT_EQ(RunHost({}).exitCode, 1);
    EXPECT_EQ(RunHost({"play"}).exitCode, 1);
    EXPECT_EQ(RunHost({"play", "a.fake", "--seek", "soon"}).exitCode, 1);
    EXPECT_EQ(RunHost({"dance"}).exitCode, 1);
}

}  // namespace
