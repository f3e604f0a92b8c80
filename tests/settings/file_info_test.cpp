// The information query against the scripted stand-in runtime: every
// attribute the module knows, the order and emptiness rules, bounded
// values, the output format, the reader's release, failures of each
// runtime call, and the title in each template choice.
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
enum { kDword = 0, kString = 1, kBinary = 2, kQword = 4, kWord = 5 };

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

void AddQword(int id, const wchar_t *name, uint64_t value, uint16_t length = 8) {
    Standin_AddAttribute(id, name, kQword, &value, length);
}

void AddDword(int id, const wchar_t *name, uint32_t value, uint16_t length = 4) {
    Standin_AddAttribute(id, name, kDword, &value, length);
}

void AddWord(int id, const wchar_t *name, uint16_t value, uint16_t length = 2) {
    Standin_AddAttribute(id, name, kWord, &value, length);
}

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

TEST_F(FileInfoQuery, DurationRoundsDownToMilliseconds) {
    AddQword(file, L"Duration", 4800009999ull);
    EXPECT_EQ(480000u, Query()->durationMs);
}

TEST_F(FileInfoQuery, SixTagsReachTheTitle) {
    AddText(file, L"Title", L"T");
    AddText(file, L"Author", L"A");
    AddText(file, L"WM/AlbumTitle", L"B");
    AddText(file, L"WM/TrackNumber", L"7");
    AddText(file, L"WM/Genre", L"G");
    AddText(file, L"WM/Year", L"2002");
    FileInfo *info = Query();
    EXPECT_STREQ("A|B|T|7|G|2002", info->title);
    ExpectNumbersUntouched(info);
}

TEST_F(FileInfoQuery, LaterArtistWinsUnlessEmpty) {
    AddText(file, L"Author", L"A");
    AddText(file, L"WM/Composer", L"C");
    EXPECT_STREQ("C|||||", Query()->title);

    Standin_Reset();
    file = Standin_DefineFile(kWideFileName);
    AddText(file, L"Author", L"A");
    AddText(file, L"WM/Composer", L"");
    EXPECT_STREQ("A|||||", Query()->title);

    Standin_Reset();
    file = Standin_DefineFile(kWideFileName);
    AddText(file, L"WM/Composer", L"C");
    AddText(file, L"Author", L"A");
    EXPECT_STREQ("A|||||", Query()->title);
}

TEST_F(FileInfoQuery, EmptyValuesKeepTheField) {
    AddText(file, L"Title", L"T");
    AddText(file, L"Title", L"");
    Standin_AddAttribute(file, L"Title", kString, "", 0);
    Standin_AddAttribute(file, L"Title", kBinary, "\0\0\0\0", 4);
    EXPECT_STREQ("||T|||", Query()->title);
}

TEST_F(FileInfoQuery, NamesMatchExactlyWithLetterCase) {
    AddText(file, L"title", L"t");
    AddText(file, L"AUTHOR", L"a");
    AddText(file, L"Title ", L"x");
    AddText(file, L"WM/genre", L"g");
    AddText(file, L"WM/Year2", L"y");
    AddQword(file, L"duration", 4800000000ull);
    AddDword(file, L"bitrate", 1);
    AddQword(file, L"Filesize", 1);
    FileInfo *info = Query();
    EXPECT_STREQ("|||||", info->title);
    ExpectNumbersUntouched(info);
}

TEST_F(FileInfoQuery, NumericTagsGiveTheirDecimalText) {
    AddDword(file, L"WM/TrackNumber", 5);
    EXPECT_STREQ("|||5||", Query()->title);

    Standin_Reset();
    file = Standin_DefineFile(kWideFileName);
    AddWord(file, L"WM/TrackNumber", 12);
    AddQword(file, L"WM/Year", 1234567890123ull);
    AddDword(file, L"Title", 4294967295u);
    EXPECT_STREQ("||4294967295|12||1234567890123", Query()->title);
}

TEST_F(FileInfoQuery, ShortNumbersAreSkipped) {
    AddQword(file, L"Duration", 4800000000ull, 4);
    AddDword(file, L"Bitrate", 128000, 2);
    AddQword(file, L"FileSize", 77, 3);
    AddDword(file, L"WM/TrackNumber", 5, 3);
    AddWord(file, L"WM/Year", 1999, 1);
    AddQword(file, L"Title", 9, 7);
    FileInfo *info = Query();
    ExpectNumbersUntouched(info);
    EXPECT_STREQ("|||||", info->title);
}

TEST_F(FileInfoQuery, FileSizeOfFourBytesIsEnough) {
    AddDword(file, L"FileSize", 4096);
    EXPECT_EQ(4096u, Query()->fileSize);
}

TEST_F(FileInfoQuery, TextEndsAtTheEndOfTheValue) {
    // Five bytes: two whole units and half of a third.
    Standin_AddAttribute(file, L"Title", kString, L"ABC", 5);
    // Three units and no terminator.
    Standin_AddAttribute(file, L"Author", kString, L"XYZW", 6);
    // A terminator in the middle ends the text there.
    Standin_AddAttribute(file, L"WM/Genre", kString, L"ab\0cd", 10);
    // One byte: not even one unit.
    Standin_AddAttribute(file, L"WM/Year", kString, L"Q", 1);
    EXPECT_STREQ("XYZ||AB||ab|", Query()->title);
}

TEST_F(FileInfoQuery, LongTextsAreCutTo255Bytes) {
    const std::wstring longTitle(300, L'x');
    AddText(file, L"Title", longTitle.c_str());
    UseOwnTemplate("%3");
    FileInfo *info = Query();
    EXPECT_EQ(std::string(255, 'x'), std::string(info->title));

    // The largest value the runtime can describe.
    Standin_Reset();
    file = Standin_DefineFile(kWideFileName);
    const std::wstring hugeTitle(32766, L'y');
    AddText(file, L"Title", hugeTitle.c_str());
    UseOwnTemplate("<%3>");
    info = Query();
    EXPECT_EQ("<" + std::string(254, 'y'), std::string(info->title));
}

TEST_F(FileInfoQuery, LongTitlesAreCutTo255Bytes) {
    const std::wstring tag(200, L'z');
    AddText(file, L"Title", tag.c_str());
    AddText(file, L"Author", tag.c_str());
    UseOwnTemplate("%1%3");
    EXPECT_EQ(std::string(255, 'z'), std::string(Query()->title));
}

// An empty name and names sent without their terminator match no known
// name, and the attributes after them are still read.
TEST_F(FileInfoQuery, OddNamesAreSkippedSafely) {
    Standin_AddRawAttribute(file, L"", 0, kString, L"none", 10);
    Standin_AddRawAttribute(file, L"TitleTitle", 10, kString, L"no", 6);
    Standin_AddRawAttribute(file, L"Author", 1, kString, L"no", 6);
    AddText(file, L"WM/Genre", L"G");
    EXPECT_STREQ("||||G|", Query()->title);
}

TEST_F(FileInfoQuery, AbsentAttributesKeepThePlayersValues) {
    FileInfo *info = record.info();
    info->fileSize = 11;
    info->durationMs = 22;
    info->bitrate = 33;
    AddDword(file, L"Bitrate", 64000);
    info = Query();
    EXPECT_EQ(11u, info->fileSize);
    EXPECT_EQ(22u, info->durationMs);
    EXPECT_EQ(64000u, info->bitrate);
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

// Every failure of the runtime before the attributes gives a query without
// attributes that still writes the fixed fields and the title.
TEST_F(FileInfoQuery, RuntimeFailuresGiveNoAttributes) {
    const uint32_t failures[] = {kFailCreate, kFailOpen, kFailQueryHeaderInfo, kFailGetAttributeCount,
                                 kFailGetAttributeByIndex};
    for (uint32_t failure : failures) {
        SCOPED_TRACE(failure);
        Standin_Reset();
        file = Standin_DefineFile(kWideFileName);
        AddQword(file, L"Duration", 4800000000ull);
        AddText(file, L"Title", L"T");
        Standin_SetFailures(failure);
        record = GuardedRecord();
        FileInfo *info = Query();
        ExpectNumbersUntouched(info);
        EXPECT_STREQ("|||||", info->title);
        EXPECT_EQ(44100, info->sampleRate);
    }
    Standin_SetFailures(0);
}

// A runtime that cannot list a real file's attributes leaves them to the
// file's own header (ffmpeg wrote it: title "Stereo Test", artist "Vivu",
// 5 s); one that lists them stays the only source, even of none at all.
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
        if (strstr(c.title, "Stereo")) {
            EXPECT_NEAR(5000.0, info->durationMs, 60);
            EXPECT_EQ(128000u, info->bitrate);
            EXPECT_EQ(GetCompressedFileSizeA(path.c_str(), nullptr), info->fileSize);
        } else {
            ExpectNumbersUntouched(info);
        }
    }
    Standin_SetFailures(0);
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

TEST_F(FileInfoQuery, QueriesDoNotCarryOver) {
    AddText(file, L"Title", L"T");
    EXPECT_STREQ("||T|||", Query()->title);
    Standin_Reset();
    file = Standin_DefineFile(kWideFileName);
    AddText(file, L"Author", L"A");
    EXPECT_STREQ("A|||||", Query()->title);
    EXPECT_EQ(0, Standin_Record().readersAlive);
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
