// vivu-host against the real plug-in under Wine's own media runtime: the
// player's declaration of the interface (tools/host/player_abi.h) must meet
// the module's in every entry the player uses.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include "host_runner.h"
#include "registry_sandbox.h"
#include "test_paths.h"

namespace {

bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// Wine's decoder differs a little in the first frames from run to run.
void ExpectAudioSeconds(const WavFile &wav, double seconds) {
    const double expected = seconds * wav.byteRate;
    EXPECT_NEAR(static_cast<double>(wav.data.size()), expected, expected * 0.02);
}

HostRun Play(const std::string &media, const std::string &wav, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"play", MediaPath(media), "-o", ScratchPath(wav), "--dll", PluginPath()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunHost(args);
}

// Plays until the WAV holds at least 98% of `seconds` of audio, three tries
// at most: Wine's runtime now and then ends a file early on a loaded
// machine, where a plug-in that drops data drops it every time.
HostRun PlayWhole(const std::string &media, const std::string &wav, double seconds,
                  std::vector<std::string> extra = {}) {
    HostRun run;
    for (int attempt = 0; attempt < 3; ++attempt) {
        run = Play(media, wav, extra);
        WavFile written = ReadWav(ScratchPath(wav));
        if (run.exitCode != 0 || !written.valid || written.data.size() >= 0.98 * seconds * written.byteRate) break;
    }
    return run;
}

TEST(HostWithPlugin, PlaysStereoFileIntoWavOfItsFormatAndLength) {
    HostRun run = PlayWhole("stereo44.wma", "host-stereo44.wav", 5.0);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("module: DOR Odiride v0.5\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("filter: \"WMA data\" -> \"*.WMA\"\nfilter pairs: 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("CanHandle: 1\n"), std::string::npos) << run.out;
    WavFile wav = ReadWav(ScratchPath("host-stereo44.wav"));
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_EQ(wav.channels, 2u);
    EXPECT_EQ(wav.bitsPerSample, 16u);
    ExpectAudioSeconds(wav, 5.0);
    EXPECT_NE(run.out.find("bytes: " + std::to_string(wav.data.size()) + "\n"), std::string::npos) << run.out;
}

TEST(HostWithPlugin, SeekHalfwayLeavesTheSecondHalf) {
    HostRun run = PlayWhole("long60.wma", "host-long60.wav", 30.0, {"--seek", "30000"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Seek(30000): 30000\n"), std::string::npos) << run.out;
    WavFile wav = ReadWav(ScratchPath("host-long60.wav"));
    ASSERT_TRUE(wav.valid);
    ExpectAudioSeconds(wav, 30.0);
}

TEST(HostWithPlugin, InfoPrintsTheFilledRecord) {
    HostRun run = RunHost({"info", MediaPath("stereo44.wma"), "--dll", PluginPath()});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const char *line : {"GetFileInfo: 1\n", "format: 44100 Hz, 2 channels, 16 bits\n", "seekable: 1\n",
                             "reserved: 0\n", "title: \""})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << " missing from\n" << run.out;
}

TEST(HostWithPlugin, RefusesWhatCanHandleRefuses) {
    HostRun run = Play("notes.txt", "host-notes.wav");
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_NE(run.out.find("CanHandle: 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("refuses"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("GetFileInfo"), std::string::npos) << "a refused file is not queried";
}

TEST(HostWithPlugin, MissingDllIsReportedNotCrashedOn) {
    HostRun run = RunHost({"play", MediaPath("stereo44.wma"), "-o", ScratchPath("host-none.wav"), "--dll",
                           ScratchPath("no-such-module.dll")});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_NE(run.err.find("cannot load the module"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("no-such-module.dll"), std::string::npos) << run.err;
}

// The module's two dialogs, closed with OK by the host. They need a display.
TEST(HostWithPlugin, ConfigureWithOkSavesTheSettingsTheDialogShowed) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "no X display for the dialogs";
    PlayerKeySandbox keep;
    const unsigned char ownTemplate = 1;
    WriteValue(kModuleKey, "id3ordial", REG_BINARY, &ownTemplate, 1);
    WriteValue(kModuleKey, "Trackline", REG_SZ, "%3 by %1", 8);

    HostRun run = RunHost({"configure", "--dll", PluginPath(), "--press-ok-after", "500"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "Configure: 0 (settings saved)\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "id3ordial: REG_BINARY, 1 bytes, 01\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "Trackline: REG_SZ \"%3 by %1\"\n")) << run.out;

    HostRun about = RunHost({"about", "--dll", PluginPath(), "--press-ok-after", "500"});
    EXPECT_EQ(about.exitCode, 0) << about.out << about.err;
    EXPECT_TRUE(Has(about.out, "ShowAbout: ")) << about.out;
}

}  // namespace
