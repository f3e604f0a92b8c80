// The plug-in where the system has no media runtime (Windows N editions):
// it still loads, its streams read nothing and close cleanly, information
// queries still give the fixed format, and a wmvcore.dll lying beside the
// player or in its working directory is never loaded in the runtime's place.
// A runtime that turns up later is found at the next open.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "plugin/abi.h"
#include "plugin_library.h"

namespace {

class NoRuntime : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(LoadLibraryExA("WMVCore.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), nullptr)
            << "the system's runtime is meant to be missing here";
        char planted[MAX_PATH];
        GetCurrentDirectoryA(sizeof(planted), planted);
        ASSERT_NE(GetFileAttributesA((std::string(planted) + "\\wmvcore.dll").c_str()), INVALID_FILE_ATTRIBUTES)
            << "a wmvcore.dll is meant to lie in the working directory";
        ASSERT_NE(PluginLibrary(), nullptr) << "the plug-in does not load";
        module_ = NewPluginModule(nullptr);
        ASSERT_NE(module_, nullptr);
        ops_ = *reinterpret_cast<const ModuleOps *const *>(module_);
    }
    void TearDown() override {
        EXPECT_EQ(GetModuleHandleA("wmvcore.dll"), nullptr) << "a wmvcore.dll outside the system directory was loaded";
        if (module_) ops_->Release(module_);
    }

    InputModule *module_ = nullptr;
    const ModuleOps *ops_ = nullptr;
};

TEST_F(NoRuntime, StreamReadsNothingAndClosesCleanly) {
    DecodeStream *stream = ops_->OpenStream(module_, "C:\\music\\song.wma", 0);
    ASSERT_NE(stream, nullptr);
    const StreamOps *streamOps = *reinterpret_cast<const StreamOps *const *>(stream);
    const uint8_t *data = nullptr;
    EXPECT_EQ(streamOps->Read(stream, &data), 0u);
    EXPECT_EQ(streamOps->Read(stream, &data), 0u);
    EXPECT_EQ(streamOps->Seek(stream, 1000), 0);
    streamOps->Close(stream);
}

TEST_F(NoRuntime, FileInfoStillGivesTheFixedFields) {
    FileInfo info;
    memset(&info, 0xAB, sizeof(info));
    EXPECT_EQ(ops_->GetFileInfo(module_, "C:\\music\\song.wma", 0, &info), 1);
    EXPECT_EQ(info.seekable, 1);
    EXPECT_EQ(info.reserved, 0);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.bitsPerSample, 16);
    // Without attributes the player's own values stay.
    EXPECT_EQ(info.fileSize, 0xABABABABu);
    EXPECT_EQ(info.durationMs, 0xABABABABu);
    EXPECT_EQ(info.bitrate, 0xABABABABu);
}

// Last, as it loads a runtime into the process: the stand-in, which the
// player's process might have loaded itself. The failed lookups before it
// are not kept.
TEST(LaterRuntime, IsFoundAtTheNextOpen) {
    ASSERT_NE(PluginLibrary(), nullptr);
    InputModule *module = NewPluginModule(nullptr);
    const ModuleOps *ops = *reinterpret_cast<const ModuleOps *const *>(module);
    auto readOnce = [&] {
        DecodeStream *stream = ops->OpenStream(module, "C:\\music\\song.wma", 0);
        const StreamOps *streamOps = *reinterpret_cast<const StreamOps *const *>(stream);
        const uint8_t *data = nullptr;
        uint32_t count = streamOps->Read(stream, &data);
        streamOps->Close(stream);
        return count;
    };
    EXPECT_EQ(readOnce(), 0u);

    char standin[MAX_PATH];
    GetCurrentDirectoryA(sizeof(standin), standin);
    HMODULE runtime = LoadLibraryA((std::string(standin) + "\\wmvcore.dll").c_str());
    ASSERT_NE(runtime, nullptr);
    auto define = reinterpret_cast<int (*)(const wchar_t *)>(reinterpret_cast<void *>(GetProcAddress(runtime, "Standin_DefineFile")));
    auto addSample = reinterpret_cast<void (*)(int, uint32_t)>(reinterpret_cast<void *>(GetProcAddress(runtime, "Standin_AddSample")));
    ASSERT_TRUE(define && addSample);
    addSample(define(L"C:\\music\\song.wma"), 500);
    EXPECT_EQ(readOnce(), 500u);
    ops->Release(module);
}

}  // namespace
