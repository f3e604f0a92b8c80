// Tagged WMA files under Wine's own runtime, which decodes but lists no
// header attributes: the plug-in reads them from the file's own header.
// ffmpeg wrote the files with known tags and ffprobe's view of each lies
// beside it: the plug-in's answers must agree with it.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <string>

#include "ffprobe_witness.h"
#include "plugin/module.h"
#include "registry_sandbox.h"
#include "test_paths.h"

namespace {

// tagged-picture carries a 2 MB picture in its header.
const char *const kTaggedFiles[] = {"tagged-latin", "tagged-cyrillic", "tagged-long", "tagged-picture"};

// A text cut to what one of the plug-in's 256-byte fields holds. The long
// file's texts are plain ASCII, so a byte cut is a character cut.
std::string Field(const std::string &text) { return text.size() > 255 ? text.substr(0, 255) : text; }

// The six tags as the plug-in's TagSet holds them, made from ffprobe's view.
struct ExpectedTags {
    std::string artist, album, title, track, genre, date;
};

ExpectedTags TagsFromWitness(const FfprobeWitness &w) {
    return ExpectedTags{Field(Utf8ToAnsi(w.Tag("artist"))), Field(Utf8ToAnsi(w.Tag("album"))),
                        Field(Utf8ToAnsi(w.Tag("title"))),  Field(Utf8ToAnsi(w.Tag("track"))),
                        Field(Utf8ToAnsi(w.Tag("genre"))),  Field(Utf8ToAnsi(w.Tag("WM/Year")))};
}

class TaggedFile : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override {
        witness = LoadWitness(GetParam());
        ASSERT_TRUE(witness.loaded) << "no ffprobe view beside " << MediaPath(std::string(GetParam()) + ".wma");
        module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module) module->ops->Release(module);
    }

    std::string File() const { return MediaPath(std::string(GetParam()) + ".wma"); }

    FileInfo Query(uint8_t choice, const char *ownTemplate = "") {
        module->settings.templateChoice = choice;
        strcpy(module->settings.titleTemplate, ownTemplate);
        FileInfo info;
        memset(&info, 0, sizeof(info));
        strcpy(info.title, "untouched");
        EXPECT_EQ(module->ops->GetFileInfo(module, File().c_str(), 0, &info), 1);
        return info;
    }

    FfprobeWitness witness;
    InputModule *module = nullptr;
};

TEST_P(TaggedFile, DurationSizeAndBitrateAgreeWithFfprobe) {
    FileInfo info = Query(kUseOwnTemplate, "%3");
    double ffprobeMs = atof(witness.Format("duration").c_str()) * 1000;
    ASSERT_GT(ffprobeMs, 0);
    EXPECT_NEAR(info.durationMs, ffprobeMs, 50);
    EXPECT_EQ(info.fileSize, strtoul(witness.Format("size").c_str(), nullptr, 10));
    // The header carries the encoder's bitrate, which ffprobe reports as the
    // stream's; its "format" bitrate is the file size over the duration and
    // counts the container's overhead too.
    EXPECT_EQ(info.bitrate, strtoul(witness.Stream("bit_rate").c_str(), nullptr, 10));
    EXPECT_LT(info.bitrate, strtoul(witness.Format("bit_rate").c_str(), nullptr, 10));
}

TEST_P(TaggedFile, OwnTemplateTitleIsMadeOfFfprobesTags) {
    ExpectedTags t = TagsFromWitness(witness);
    ASSERT_FALSE(t.title.empty());
    FileInfo info = Query(kUseOwnTemplate, "%4. %1 - %3 (%2, %5, %6)");
    EXPECT_EQ(std::string(info.title),
              Field(t.track + ". " + t.artist + " - " + t.title + " (" + t.album + ", " + t.genre + ", " + t.date + ")"));
    // The default template.
    EXPECT_EQ(std::string(Query(kUseOwnTemplate, "%1 - %3").title), Field(t.artist + " - " + t.title));
}

TEST_P(TaggedFile, PlayerTemplateTitleIsMadeOfFfprobesTags) {
    ExpectedTags t = TagsFromWitness(witness);
    PlayerKeySandbox sandbox;
    const char playerTemplate[] = "%TRACKNUM% %LEADARTIST% / %TITLE% [%ALBUM%|%GENRE%|%DATE%]";
    WriteValue(kPlayerKey, "TrackTitleTemplate", REG_SZ, playerTemplate, sizeof(playerTemplate));
    FileInfo info = Query(kUsePlayerTemplate);
    EXPECT_EQ(std::string(info.title),
              Field(t.track + " " + t.artist + " / " + t.title + " [" + t.album + "|" + t.genre + "|" + t.date + "]"));
}

// The header is read with the file shared and closed before the query
// returns: the player's user may rename or delete the file at once.
TEST_P(TaggedFile, TheFileIsFreeRightAfterTheQuery) {
    std::string copy = ScratchPath(std::string("free-") + GetParam() + ".wma");
    std::string moved = copy + ".moved";
    DeleteFileA(moved.c_str());
    ASSERT_TRUE(CopyFileA(File().c_str(), copy.c_str(), FALSE));
    FileInfo info;
    memset(&info, 0, sizeof(info));
    module->ops->GetFileInfo(module, copy.c_str(), 0, &info);
    EXPECT_GT(info.durationMs, 0u);
    EXPECT_TRUE(MoveFileA(copy.c_str(), moved.c_str())) << GetLastError();
    EXPECT_TRUE(DeleteFileA(moved.c_str())) << GetLastError();
}

INSTANTIATE_TEST_SUITE_P(Tagged, TaggedFile, ::testing::ValuesIn(kTaggedFiles));

}  // namespace
