// The information query against the scripted stand-in runtime: what it asks
// of the runtime, the output format, a missing file, the file's own header
// where the runtime lists nothing, a header that grows between calls, and
// the title in each template choice. How each attribute is read (order,
// empty and short values, names, the 255-byte cuts, runtime failures) is
// checked query by query in the contract scenarios.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "plugin/module.h"
#include "plugin/settings.h"
#include "registry_sandbox.h"
#include "standin_control.h"
#include "test_paths.h"

namespace {

const char kFileName[] = "C:\\music\\song.wma";
const wchar_t kWideFileName[] = L"C:\\music\\song.wma";
const char kOwnTemplateOfAllTags[] = "%1|%2|%3|%4|%5|%6";
const unsigned char kGuard = 0xCC;

// Attribute data types of the runtime's header view.
enum { kDword = 0, kString = 1, kQword = 4 };

// The player's record at the start of a larger buffer: the query must
// write nothing past the record's last byte (offset 287).
struct GuardedRecord {
    alignas(8) unsigned char bytes[sizeof(FileInfo) + 64];
    GuardedRecord() { memset(bytes, kGuard, sizeof(bytes)); }
    FileInfo *info() { return reinterpret_cast<FileInfo *>(bytes); }
    void ExpectTailUntouched() const {
        for (size_t at = sizeof(FileInfo); at < sizeof(bytes); ++at)
            ASSERT_EQ(kGuard, bytes[at]) << "byte " << at << " written";
    }
    // A field the query must have left as the player had it.
    static uint32_t Untouched() { return 0xCCCCCCCCu; }
};

void AddText(int id, const wchar_t *name, const wchar_t *text) {
    Standin_AddAttribute(id, name, kString, text, static_cast<uint16_t>((wcslen(text) + 1) * sizeof(wchar_t)));
}

void AddQword(int id, const wchar_t *name, uint64_t value) { Standin_AddAttribute(id, name, kQword, &value, 8); }

void AddDword(int id, const wchar_t *name, uint32_t value) { Standin_AddAttribute(id, name, kDword, &value, 4); }

class FileInfoQuery : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kPlayerKeyPath);
        Standin_Reset();
        module = Velmor_GetInputModule2(nullptr, nullptr);
        ASSERT_NE(nullptr, module);
        UseOwnTemplate(kOwnTemplateOfAllTags);
        file = Standin_DefineFile(kWideFileName);
    }
    void TearDown() override {
        if (module) module->ops->Release(module);
        Standin_Reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, kPlayerKeyPath);
    }

    void UseOwnTemplate(const char *text) {
        module->settings.templateChoice = kUseOwnTemplate;
        strcpy(module->settings.titleTemplate, text);
    }

    // Runs the query through the module's table and checks what every query
    // must do whatever the file holds.
    FileInfo *Query(const char *name = kFileName) {
        EXPECT_EQ(1, module->ops->GetFileInfo(module, name, 0, record.info()));
        record.ExpectTailUntouched();
        FileInfo *info = record.info();
        EXPECT_EQ(1, info->seekable);
        EXPECT_EQ(0, info->reserved);
        EXPECT_EQ(0, Standin_Record().readersAlive) << "the query's reader was not released";
        EXPECT_EQ(nullptr, module->reader);
        EXPECT_EQ(nullptr, module->headerInfo);
        EXPECT_NE(nullptr, memchr(info->title, 0, sizeof(info->title)));
        return info;
    }

    static void ExpectDefaultFormat(const FileInfo *info) {
        EXPECT_EQ(44100, info->sampleRate);
        EXPECT_EQ(2, info->channels);
        EXPECT_EQ(16, info->bitsPerSample);
    }

    static void ExpectNumbersUntouched(const FileInfo *info) {
        EXPECT_EQ(GuardedRecord::Untouched(), info->fileSize);
        EXPECT_EQ(GuardedRecord::Untouched(), info->durationMs);
        EXPECT_EQ(GuardedRecord::Untouched(), info->bitrate);
    }

    InputModule *module = nullptr;
    int file = 0;
    GuardedRecord record;
};

TEST_F(FileInfoQuery, NumbersGoToTheirFields) {
    AddQword(file, L"Duration", 4800000000ull);
    AddDword(file, L"Bitrate", 128000);
    AddQword(file, L"FileSize", 0x100001234ull);
    FileInfo *info = Query();
    EXPECT_EQ(480000u, info->durationMs);
    EXPECT_EQ(128000u, info->bitrate);
    EXPECT_EQ(0x1234u, info->fileSize);
    EXPECT_STREQ("|||||", info->title);
    ExpectDefaultFormat(info);

    StandinRecord runtime = Standin_Record();
    EXPECT_EQ(1, runtime.opens);
    EXPECT_EQ(1, runtime.closes);
    EXPECT_STREQ(kWideFileName, runtime.lastOpenName);
    EXPECT_EQ(0, runtime.lastAttributeStreamArg);
}

TEST_F(FileInfoQuery, TheRuntimesOutputFormatIsReported) {
    Standin_SetOutputFormat(file, 1, 22050, 1, 16);
    FileInfo *info = Query();
    EXPECT_EQ(22050, info->sampleRate);
    EXPECT_EQ(1, info->channels);
    EXPECT_EQ(16, info->bitsPerSample);

    Standin_SetOutputFormat(file, 0xFFFE, 48000, 6, 24);  // extensible, PCM inside
    info = Query();
    EXPECT_EQ(48000, info->sampleRate);
    EXPECT_EQ(6, info->channels);
    EXPECT_EQ(24, info->bitsPerSample);

    // Only PCM is what the player reads; anything else leaves the default.
    Standin_SetOutputFormat(file, 3, 48000, 2, 32);
    ExpectDefaultFormat(Query());
    // So do a float sub-format, a block shorter than its header says (a PCM
    // sub-format lies just past it), and no block at all.
    for (int block : {kBlockFloatSubFormat, kBlockShorterThanClaimed, kBlockMissing}) {
        SCOPED_TRACE(block);
        Standin_SetOutputFormat(file, 0xFFFE, 48000, 6, 24);
        Standin_SetFormatBlock(file, block);
        ExpectDefaultFormat(Query());
    }
    Standin_SetFormatBlock(file, kBlockAsDescribed);

    Standin_SetOutputFormat(file, 0, 22050, 1, 16);
    GuardedRecord fresh;
    EXPECT_EQ(1, module->ops->GetFileInfo(module, kFileName, 0, fresh.info()));
    ExpectDefaultFormat(fresh.info());
    fresh.ExpectTailUntouched();
}

TEST_F(FileInfoQuery, MissingFile) {
    AddText(file, L"Title", L"T");
    FileInfo *info = Query("C:\\music\\missing.wma");
    ExpectDefaultFormat(info);
    ExpectNumbersUntouched(info);
    EXPECT_STREQ("|||||", info->title);
    EXPECT_STREQ(L"C:\\music\\missing.wma", Standin_Record().lastOpenName);
}

// A runtime that cannot list a real file's attributes leaves them to the
// file's own header (ffmpeg wrote it: title "Stereo Test", artist "Vivu",
// 5 s); one that lists them stays the only source, even of none at all.
// The size is the file's own either way, and so is the length where none
// is listed: what its data packets hold.
TEST_F(FileInfoQuery, TheFilesOwnHeaderStandsInForAnUnlistingRuntime) {
    const std::string path = MediaPath("stereo44.wma");
    const std::wstring widePath(path.begin(), path.end());
    const struct {
        uint32_t failure;
        const char *title;
    } cases[] = {{0, "||Scripted|||"},
                 {kFailGetAttributeByIndex, "|||||"},
                 {kFailCreate, "Vivu||Stereo Test|||"},
                 {kFailOpen, "Vivu||Stereo Test|||"},
                 {kFailQueryHeaderInfo, "Vivu||Stereo Test|||"},
                 {kFailGetAttributeCount, "Vivu||Stereo Test|||"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.failure);
        Standin_Reset();
        AddText(Standin_DefineFile(widePath.c_str()), L"Title", L"Scripted");
        Standin_SetFailures(c.failure);
        record = GuardedRecord();
        FileInfo *info = Query(path.c_str());
        EXPECT_STREQ(c.title, info->title);
        EXPECT_EQ(GetCompressedFileSizeA(path.c_str(), nullptr), info->fileSize);
        EXPECT_NEAR(5000.0, info->durationMs, 60);
        EXPECT_EQ(strstr(c.title, "Stereo") ? 128000u : GuardedRecord::Untouched(), info->bitrate);
    }
    Standin_SetFailures(0);
}

// Windows' runtime lists "Duration" and "FileSize" as a header claims them.
// Where the file's data (held.txt) ends more than a second away from that,
// or the header claims nothing, the length shown is what ffmpeg decodes of
// it, and the size is its own.
TEST_F(FileInfoQuery, TheLengthShownIsWhatTheFileHoldsWhateverTheRuntimeLists) {
    std::vector<HeldFile> files = HeldFiles();
    EXPECT_EQ(files.size(), 9u) << "held.txt missing in " << MediaPath("");
    for (const HeldFile &held : files) {
        if (held.witness != "ffmpeg") continue;
        SCOPED_TRACE(held.name);
        const std::string path = MediaPath(held.name);
        Standin_Reset();
        int id = Standin_DefineFile(std::wstring(path.begin(), path.end()).c_str());
        AddQword(id, L"Duration", held.claimedMs * 10000ull);
        AddQword(id, L"FileSize", 5800000);
        record = GuardedRecord();
        FileInfo *info = Query(path.c_str());
        EXPECT_EQ(1, Standin_Record().streamOpens) << "the runtime listed them";
        EXPECT_TRUE(ShowsItsLength(info->durationMs, held.claimedMs, held.decodedMs)) << info->durationMs;
        EXPECT_EQ(held.size, info->fileSize);
    }
}

// A header that grew between the size query and the read: the attribute
// is skipped rather than read past the buffers made for it.
TEST_F(FileInfoQuery, AttributeLongerOnTheSecondCallIsSkipped) {
    AddText(file, L"Title", L"T");
    AddDword(file, L"Bitrate", 64000);
    Standin_SetFailures(kGrowBetweenCalls);
    FileInfo *info = Query();
    EXPECT_STREQ("|||||", info->title);
    EXPECT_EQ(GuardedRecord::Untouched(), info->bitrate);
    Standin_SetFailures(0);
}

// --- the title in each template choice

class QueryTitle : public FileInfoQuery {
protected:
    void SetUp() override {
        FileInfoQuery::SetUp();
        AddText(file, L"Author", L"A");
        AddText(file, L"Title", L"T");
        AddText(file, L"WM/TrackNumber", L"7");
        AddText(file, L"WM/Year", L"2002");
        strcpy(record.info()->title, "player's own");
    }
    // The player's key, holding the template or, for null, none.
    void SetPlayerTemplate(const char *text) {
        DWORD size = text ? static_cast<DWORD>(strlen(text) + 1) : 1;
        ASSERT_EQ(ERROR_SUCCESS, WriteValue(kPlayerKeyPath, "TrackTitleTemplate", REG_SZ, text ? text : "", size));
        if (!text) DeleteValue(kPlayerKeyPath, "TrackTitleTemplate");
    }
};

TEST_F(QueryTitle, PlayersTemplate) {
    module->settings.templateChoice = kUsePlayerTemplate;
    SetPlayerTemplate("%LEADARTIST% - %TITLE%");
    EXPECT_STREQ("A - T", Query()->title);
    // Read afresh at every query.
    SetPlayerTemplate("%tracknum%. %Title% (%DATE%)%");
    EXPECT_STREQ("7. T (2002)", Query()->title);
}

TEST_F(QueryTitle, PlayersTemplateMissing) {
    module->settings.templateChoice = kUsePlayerTemplate;
    SetPlayerTemplate(nullptr);
    EXPECT_STREQ("", Query()->title);
}

TEST_F(QueryTitle, PlayersKeyMissing) {
    module->settings.templateChoice = kUsePlayerTemplate;
    RegDeleteTreeA(HKEY_CURRENT_USER, kPlayerKeyPath);
    EXPECT_STREQ("player's own", Query()->title);
}

TEST_F(QueryTitle, OwnTemplate) {
    SetPlayerTemplate("%TITLE%");
    UseOwnTemplate("%4. %3 (%6)");
    EXPECT_STREQ("7. T (2002)", Query()->title);
    UseOwnTemplate("");
    EXPECT_STREQ("", Query()->title);
}

TEST_F(QueryTitle, NoTitleForOtherChoices) {
    SetPlayerTemplate("%TITLE%");
    module->settings.templateChoice = 2;
    EXPECT_STREQ("player's own", Query()->title);
    module->settings.templateChoice = 255;
    EXPECT_STREQ("player's own", Query()->title);
}

}  // namespace
