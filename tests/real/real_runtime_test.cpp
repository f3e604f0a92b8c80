// The plug-in on real WMA files, decoded by Wine's own media runtime: a seek
// past the end, bad files, the file let go or renamed while it plays,
// independent streams. (Each
// format's report and whole length are the codec matrix's; where a seek
// lands, the seek test's.) Wine's decoder may differ slightly in the first
// frames from run to run, so lengths are compared within 2%.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>

#include "plugin/module.h"
#include "real_files.h"
#include "test_paths.h"

namespace {

class RealRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(module, nullptr);
        module->settings.templateChoice = kUseOwnTemplate;
    }
    void TearDown() override { module->ops->Release(module); }

    FileInfo Query(const std::string &path) { return Describe(module, path); }
    static void ExpectNear(uint64_t actual, double expected) {
        EXPECT_NEAR(static_cast<double>(actual), expected, expected * 0.02);
    }

    // A private copy, so a test can prove the plug-in let go of the file.
    static std::string CopyOf(const std::string &name) {
        std::string copy = ScratchPath("copy-" + name);
        EXPECT_TRUE(CopyFileA(MediaPath(name).c_str(), copy.c_str(), FALSE)) << MediaPath(name);
        return copy;
    }

    InputModule *module = nullptr;
};

TEST_F(RealRuntime, SeekPastTheEndReadsNothingMore) {
    DecodeStream *stream = module->ops->OpenStream(module, MediaPath("stereo44.wma").c_str(), 0);
    const StreamOps *ops = OpsOf(stream);
    ops->Seek(stream, 60000);
    EXPECT_LT(ReadToEnd(stream).bytes, 44100u * 4 / 10);
    ops->Close(stream);
}

TEST_F(RealRuntime, BadFilesReadNothingAndStillDescribe) {
    for (const char *name : {"truncated.wma", "empty.wma", "random.wma", "no-such-file.wma"}) {
        SCOPED_TRACE(name);
        FileInfo info = Query(MediaPath(name));
        EXPECT_EQ(info.seekable, 1);
        EXPECT_EQ(info.sampleRate, 44100);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.bitsPerSample, 16);
        Decoded decoded = DecodeFile(module, MediaPath(name));
        if (std::string(name) == "truncated.wma")
            EXPECT_LT(decoded.bytes, 4.0 * 44100 * 4) << "half a file decodes to at most its half";
        else
            EXPECT_EQ(decoded.bytes, 0u);
    }
}

TEST_F(RealRuntime, FileIsFreeRightAfterCloseAndAfterTheQuery) {
    std::string played = CopyOf("stereo44.wma");
    DecodeStream *stream = module->ops->OpenStream(module, played.c_str(), 0);
    const StreamOps *ops = OpsOf(stream);
    const uint8_t *data;
    EXPECT_GT(ops->Read(stream, &data), 0u);
    ops->Close(stream);
    EXPECT_TRUE(NobodyHasOpen(played));
    EXPECT_TRUE(DeleteFileA(played.c_str())) << "error " << GetLastError();

    std::string described = CopyOf("stereo44.wma");
    Query(described);
    EXPECT_EQ(module->reader, nullptr);
    EXPECT_EQ(module->headerInfo, nullptr);
    EXPECT_TRUE(NobodyHasOpen(described));
    EXPECT_TRUE(DeleteFileA(described.c_str())) << "error " << GetLastError();
}

// As in any player, a playing file can be renamed and then deleted, and it
// plays on to its end.
TEST_F(RealRuntime, APlayingFileCanBeRenamedAndDeletedAndPlaysOn) {
    std::string path = CopyOf("stereo44.wma"), renamed = path + ".moved";
    DeleteFileA(renamed.c_str());
    DecodeStream *stream = module->ops->OpenStream(module, path.c_str(), 0);
    const uint8_t *data;
    uint64_t first = OpsOf(stream)->Read(stream, &data);
    EXPECT_GT(first, 0u);
    EXPECT_TRUE(MoveFileA(path.c_str(), renamed.c_str())) << "error " << GetLastError();
    EXPECT_TRUE(DeleteFileA(renamed.c_str())) << "error " << GetLastError();
    ExpectNear(first + ReadToEnd(stream).bytes, 5.0 * 44100 * 4);
    OpsOf(stream)->Close(stream);
    EXPECT_EQ(GetFileAttributesA(renamed.c_str()), INVALID_FILE_ATTRIBUTES) << "the file is gone";
}

// A download still being written, or a file a tag editor holds: another
// program has it open for writing, sharing reading, and it plays whole and
// shows its length all the same.
TEST_F(RealRuntime, AFileOpenForWritingElsewherePlaysWhole) {
    std::string path = CopyOf("stereo44.wma");
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    EXPECT_NEAR(Query(path).durationMs, 5000, 100);
    Decoded decoded = DecodeFile(module, path);
    printf("held for writing: %llu bytes decoded\n", static_cast<unsigned long long>(decoded.bytes));
    ExpectNear(decoded.bytes, 5.0 * 44100 * 4);
    CloseHandle(writer);
}

// One second in two audio streams, 16 kHz and 8 kHz mono. Wine's runtime
// lists them in another order at each open; every query and every stream
// takes the 16 kHz one all the same, and the player gets what it is told.
TEST_F(RealRuntime, TwoAudioStreamsPlayAsOneAtEveryOpen) {
    std::string path = MediaPath("two-rates.wma");
    for (int play = 1; play <= 10; ++play) {
        FileInfo info = Query(path);
        double seconds = static_cast<double>(DecodeFile(module, path).bytes) / ByteRate(info);
        printf("play %2d: told %d Hz, %d channel(s); got %.3f s\n", play, info.sampleRate, info.channels, seconds);
        EXPECT_EQ(info.sampleRate, 16000);
        EXPECT_EQ(info.channels, 1);
        EXPECT_NEAR(seconds, 1.0, 0.05);
    }
}

TEST_F(RealRuntime, StreamsAreIndependentOfEachOtherAndOfTheModule) {
    DecodeStream *first = module->ops->OpenStream(module, MediaPath("stereo44.wma").c_str(), 0);
    DecodeStream *second = module->ops->OpenStream(module, MediaPath("mono22.wma").c_str(), 0);
    module->ops->Release(module);
    module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
    ExpectNear(ReadToEnd(second).bytes, 5.0 * 22050 * 2);
    ExpectNear(ReadToEnd(first).bytes, 5.0 * 44100 * 4);
    OpsOf(first)->Close(first);
    OpsOf(second)->Close(second);
}

}  // namespace
