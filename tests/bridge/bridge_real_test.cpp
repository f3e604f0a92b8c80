// Real WMA files through the Wine bridge (the wmvcore.dll of
// tools/wine-bridge, copied beside this program and chosen with
// WINEDLLOVERRIDES=wmvcore=n). ffmpeg wrote the files with known tags and
// ffprobe's view of each lies beside it: the plug-in's answers must agree
// with it.
#include <gtest/gtest.h>
#include <windows.h>
#include <wmsdkidl.h>

#include <math.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "ffprobe_witness.h"
#include "plugin/module.h"
#include "test_paths.h"

namespace {

typedef LONG(__cdecl *LiveObjectsFn)(void);

// The runtime the plug-in talks to, loaded by name as the plug-in loads it.
HMODULE Runtime() { return LoadLibraryA("WMVCore.DLL"); }

LONG LiveBridgeObjects() {
    LiveObjectsFn live =
        reinterpret_cast<LiveObjectsFn>(reinterpret_cast<void *>(GetProcAddress(Runtime(), "Bridge_LiveObjects")));
    return live ? live() : -1;
}

const char *const kTaggedFiles[] = {"tagged-latin", "tagged-cyrillic", "tagged-long"};

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

// Sets the player's title template for the test's life and puts back what
// was there.
class PlayerTemplate {
public:
    explicit PlayerTemplate(const char *text) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Corvinta\\Velmor", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        DWORD size = sizeof(old_);
        had_ = RegQueryValueExA(key_, "TrackTitleTemplate", nullptr, nullptr, reinterpret_cast<BYTE *>(old_),
                                &size) == ERROR_SUCCESS;
        RegSetValueExA(key_, "TrackTitleTemplate", 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                       static_cast<DWORD>(strlen(text) + 1));
    }
    ~PlayerTemplate() {
        if (had_)
            RegSetValueExA(key_, "TrackTitleTemplate", 0, REG_SZ, reinterpret_cast<const BYTE *>(old_),
                           static_cast<DWORD>(strnlen(old_, sizeof(old_) - 1) + 1));
        else
            RegDeleteValueA(key_, "TrackTitleTemplate");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    bool had_ = false;
    char old_[1024] = {};
};

class BridgeRealFile : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override {
        witness = LoadWitness(GetParam());
        ASSERT_TRUE(witness.loaded) << "no ffprobe view beside " << MediaPath(std::string(GetParam()) + ".wma");
        module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module) module->ops->Release(module);
        EXPECT_EQ(LiveBridgeObjects(), 0) << "every reader released";
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

TEST_P(BridgeRealFile, TheBridgeIsTheRuntimeInUse) {
    Query(kUseOwnTemplate, "%3");
    ASSERT_NE(GetModuleHandleA("wmvcore.dll"), nullptr);
    EXPECT_NE(GetProcAddress(GetModuleHandleA("wmvcore.dll"), "Bridge_LiveObjects"), nullptr)
        << "the wmvcore.dll loaded is not the bridge: is WINEDLLOVERRIDES=wmvcore=n set?";
}

TEST_P(BridgeRealFile, DurationSizeAndBitrateAgreeWithFfprobe) {
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

TEST_P(BridgeRealFile, OwnTemplateTitleIsMadeOfFfprobesTags) {
    ExpectedTags t = TagsFromWitness(witness);
    ASSERT_FALSE(t.title.empty());
    FileInfo info = Query(kUseOwnTemplate, "%4. %1 - %3 (%2, %5, %6)");
    EXPECT_EQ(std::string(info.title),
              Field(t.track + ". " + t.artist + " - " + t.title + " (" + t.album + ", " + t.genre + ", " + t.date + ")"));
    // The default template.
    EXPECT_EQ(std::string(Query(kUseOwnTemplate, "%1 - %3").title), Field(t.artist + " - " + t.title));
}

TEST_P(BridgeRealFile, PlayerTemplateTitleIsMadeOfFfprobesTags) {
    ExpectedTags t = TagsFromWitness(witness);
    PlayerTemplate player("%TRACKNUM% %LEADARTIST% / %TITLE% [%ALBUM%|%GENRE%|%DATE%]");
    FileInfo info = Query(kUsePlayerTemplate);
    EXPECT_EQ(std::string(info.title),
              Field(t.track + " " + t.artist + " / " + t.title + " [" + t.album + "|" + t.genre + "|" + t.date + "]"));
}

TEST_P(BridgeRealFile, DecodesTheWholeFile) {
    double seconds = atof(witness.Format("duration").c_str());
    double byteRate = atof(witness.Stream("sample_rate").c_str()) * atoi(witness.Stream("channels").c_str()) * 2;
    ASSERT_GT(seconds * byteRate, 0);
    DecodeStream *stream = module->ops->OpenStream(module, File().c_str(), 0);
    ASSERT_NE(stream, nullptr);
    const StreamOps *ops = *reinterpret_cast<const StreamOps *const *>(stream);
    uint64_t bytes = 0;
    const uint8_t *data = nullptr;
    for (int chunks = 0; chunks < 100000; ++chunks) {
        uint32_t count = ops->Read(stream, &data);
        if (!count) break;
        bytes += count;
    }
    ops->Close(stream);
    EXPECT_NEAR(static_cast<double>(bytes), seconds * byteRate, seconds * byteRate * 0.02);
}

INSTANTIATE_TEST_SUITE_P(Tagged, BridgeRealFile, ::testing::ValuesIn(kTaggedFiles));

// The bridge's reader used directly, as the runtime's users use it.
class BridgeReader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        typedef HRESULT(WINAPI * CreateFn)(IUnknown *, DWORD, IWMSyncReader **);
        CreateFn create =
            reinterpret_cast<CreateFn>(reinterpret_cast<void *>(GetProcAddress(Runtime(), "WMCreateSyncReader")));
        ASSERT_NE(create, nullptr);
        ASSERT_EQ(create(nullptr, WMT_RIGHT_PLAYBACK, &reader), S_OK);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(LiveBridgeObjects(), 1);
    }
    void TearDown() override {
        if (header) header->Release();
        if (reader) {
            reader->Close();
            EXPECT_EQ(reader->Release(), 0u);
        }
        EXPECT_EQ(LiveBridgeObjects(), 0);
        CoUninitialize();
    }

    void OpenWithHeader(const char *name) {
        std::string path = MediaPath(std::string(name) + ".wma");
        std::wstring wide(path.begin(), path.end());
        ASSERT_EQ(reader->Open(wide.c_str()), S_OK) << path;
        ASSERT_EQ(reader->QueryInterface(IID_IWMHeaderInfo_, reinterpret_cast<void **>(&header)), S_OK);
    }

    struct Attribute {
        std::wstring name;
        WMT_ATTR_DATATYPE type;
        std::vector<BYTE> value;
    };

    std::vector<Attribute> Enumerate() {
        std::vector<Attribute> list;
        WORD count = 0;
        EXPECT_EQ(header->GetAttributeCount(0, &count), S_OK);
        for (WORD i = 0; i < count; ++i) {
            WORD stream = 0, nameLength = 0, valueLength = 0;
            WMT_ATTR_DATATYPE type;
            EXPECT_EQ(header->GetAttributeByIndex(i, &stream, nullptr, &nameLength, &type, nullptr, &valueLength), S_OK);
            std::vector<WCHAR> name(nameLength);
            Attribute a;
            a.value.resize(valueLength);
            EXPECT_EQ(header->GetAttributeByIndex(i, &stream, name.data(), &nameLength, &a.type, a.value.data(),
                                                  &valueLength), S_OK);
            EXPECT_EQ(a.type, type);
            EXPECT_EQ(name.back(), 0) << "names end in their terminator";
            a.name.assign(name.data());
            EXPECT_EQ(a.name.size() + 1, nameLength);
            list.push_back(a);
        }
        return list;
    }

    static const Attribute *Find(const std::vector<Attribute> &list, const wchar_t *name) {
        for (const Attribute &a : list)
            if (a.name == name) return &a;
        return nullptr;
    }
    static uint64_t Number(const Attribute *a) {
        uint64_t n = 0;
        memcpy(&n, a->value.data(), a->value.size() < 8 ? a->value.size() : 8);
        return n;
    }
    static std::wstring Text(const Attribute *a) {
        return std::wstring(reinterpret_cast<const wchar_t *>(a->value.data()));
    }
    static std::wstring Wide(const std::string &utf8) {
        std::wstring wide(utf8.size() + 1, L'\0');
        int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
        wide.resize(units > 0 ? units - 1 : 0);
        return wide;
    }

    const GUID IID_IWMHeaderInfo_ = {0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
    const GUID IID_IWMSyncReader_ = {0x9397F121, 0x7705, 0x4DC9, {0xB0, 0x49, 0x98, 0xB6, 0x98, 0x18, 0x84, 0x14}};
    IWMSyncReader *reader = nullptr;
    IWMHeaderInfo *header = nullptr;
};

TEST_F(BridgeReader, AttributesAgreeWithFfprobe) {
    for (const char *name : kTaggedFiles) {
        SCOPED_TRACE(name);
        FfprobeWitness w = LoadWitness(name);
        ASSERT_TRUE(w.loaded);
        if (header) header->Release();
        header = nullptr;
        reader->Close();
        OpenWithHeader(name);
        std::vector<Attribute> list = Enumerate();

        const Attribute *duration = Find(list, L"Duration");
        ASSERT_NE(duration, nullptr);
        EXPECT_EQ(duration->type, WMT_TYPE_QWORD);
        EXPECT_NEAR(Number(duration) / 10000.0, atof(w.Format("duration").c_str()) * 1000, 50);
        const Attribute *size = Find(list, L"FileSize");
        ASSERT_NE(size, nullptr);
        EXPECT_EQ(size->type, WMT_TYPE_QWORD);
        EXPECT_EQ(Number(size), strtoull(w.Format("size").c_str(), nullptr, 10));
        const Attribute *bitrate = Find(list, L"Bitrate");
        ASSERT_NE(bitrate, nullptr);
        EXPECT_EQ(bitrate->type, WMT_TYPE_DWORD);
        EXPECT_EQ(Number(bitrate), strtoull(w.Stream("bit_rate").c_str(), nullptr, 10));

        // ffprobe's tag names for the attributes the plug-in reads.
        const struct {
            const wchar_t *attribute;
            const char *tag;
        } texts[] = {{L"Title", "title"},          {L"Author", "artist"}, {L"WM/AlbumTitle", "album"},
                     {L"WM/TrackNumber", "track"}, {L"WM/Genre", "genre"}, {L"WM/Year", "WM/Year"}};
        for (const auto &t : texts) {
            const Attribute *a = Find(list, t.attribute);
            ASSERT_NE(a, nullptr) << t.tag;
            EXPECT_EQ(a->type, WMT_TYPE_STRING) << t.tag << ": ffmpeg stores every tag as text";
            EXPECT_EQ(Text(a), Wide(w.Tag(t.tag))) << t.tag;
        }
    }
}

TEST_F(BridgeReader, AttributeSizeQueryProtocol) {
    OpenWithHeader("tagged-latin");
    WORD count = 0;
    ASSERT_EQ(header->GetAttributeCount(0, &count), S_OK);
    ASSERT_GT(count, 0);
    WORD streamCount = 99;
    EXPECT_EQ(header->GetAttributeCount(1, &streamCount), S_OK);
    EXPECT_EQ(streamCount, 0) << "no stream-level attributes are listed";

    WORD stream = 0, nameLength = 0, valueLength = 0;
    WMT_ATTR_DATATYPE type;
    ASSERT_EQ(header->GetAttributeByIndex(0, &stream, nullptr, &nameLength, &type, nullptr, &valueLength), S_OK);
    EXPECT_EQ(nameLength, wcslen(L"Duration") + 1);
    EXPECT_EQ(valueLength, 8);
    EXPECT_EQ(stream, 0);

    WCHAR name[64];
    BYTE value[64];
    WORD shortName = nameLength - 1, room = sizeof(value);
    EXPECT_EQ(header->GetAttributeByIndex(0, &stream, name, &shortName, &type, value, &room),
              static_cast<HRESULT>(0xC00D07D1));
    WORD nameRoom = 64, shortValue = 7;
    EXPECT_EQ(header->GetAttributeByIndex(0, &stream, name, &nameRoom, &type, value, &shortValue),
              static_cast<HRESULT>(0xC00D07D1));
    EXPECT_EQ(header->GetAttributeByIndex(count, &stream, nullptr, &nameLength, &type, nullptr, &valueLength),
              E_INVALIDARG);
    stream = 1;
    EXPECT_EQ(header->GetAttributeByIndex(0, &stream, nullptr, &nameLength, &type, nullptr, &valueLength),
              E_INVALIDARG);

    // By name, with the same two calls.
    stream = 0;
    WORD titleLength = 0;
    ASSERT_EQ(header->GetAttributeByName(&stream, L"Title", &type, nullptr, &titleLength), S_OK);
    EXPECT_EQ(type, WMT_TYPE_STRING);
    std::vector<BYTE> title(titleLength);
    ASSERT_EQ(header->GetAttributeByName(&stream, L"Title", &type, title.data(), &titleLength), S_OK);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t *>(title.data())), L"Caf\u00e9 \u00dcberschall");
    EXPECT_EQ(header->GetAttributeByName(&stream, L"NoSuchAttribute", &type, nullptr, &titleLength),
              static_cast<HRESULT>(0xC00D07F0));
}

TEST_F(BridgeReader, AttributesLiveFromOpenToClose) {
    ASSERT_EQ(reader->QueryInterface(IID_IWMHeaderInfo_, reinterpret_cast<void **>(&header)), S_OK);
    WORD count = 0;
    EXPECT_TRUE(FAILED(header->GetAttributeCount(0, &count))) << "nothing is open yet";
    header->Release();
    header = nullptr;
    OpenWithHeader("tagged-cyrillic");
    EXPECT_EQ(header->GetAttributeCount(0, &count), S_OK);
    EXPECT_GT(count, 5);
    reader->Close();
    EXPECT_TRUE(FAILED(header->GetAttributeCount(0, &count))) << "closed";
    std::wstring path;
    {
        std::string p = MediaPath("tagged-latin.wma");
        path.assign(p.begin(), p.end());
    }
    ASSERT_EQ(reader->Open(path.c_str()), S_OK);
    const Attribute *title = nullptr;
    std::vector<Attribute> list = Enumerate();
    title = Find(list, L"Title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(Text(title), L"Caf\u00e9 \u00dcberschall") << "the second file's attributes, not the first's";
}

TEST_F(BridgeReader, ReferencesAreCountedAsComExpects) {
    OpenWithHeader("tagged-latin");
    // One object: both views answer for the same identity.
    IUnknown *fromReader = nullptr, *fromHeader = nullptr;
    ASSERT_EQ(reader->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&fromReader)), S_OK);
    ASSERT_EQ(header->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&fromHeader)), S_OK);
    EXPECT_EQ(fromReader, fromHeader);
    IWMSyncReader *back = nullptr;
    ASSERT_EQ(header->QueryInterface(IID_IWMSyncReader_, reinterpret_cast<void **>(&back)), S_OK);
    EXPECT_EQ(back, reader);
    // reader, header, two IUnknowns and back: five references.
    EXPECT_EQ(reader->AddRef(), 6u);
    EXPECT_EQ(reader->Release(), 5u);
    fromReader->Release();
    fromHeader->Release();
    back->Release();
    EXPECT_EQ(LiveBridgeObjects(), 1);
    // The header view keeps the reader alive after the reader's own
    // reference is gone.
    EXPECT_EQ(reader->Release(), 1u);
    reader = nullptr;
    EXPECT_EQ(LiveBridgeObjects(), 1);
    WORD count = 0;
    EXPECT_EQ(header->GetAttributeCount(0, &count), S_OK);
    EXPECT_GT(count, 0);
    EXPECT_EQ(header->Release(), 0u);
    header = nullptr;
    EXPECT_EQ(LiveBridgeObjects(), 0);
}

}  // namespace
