// The export and the module's table: the small entries that need no other
// subsystem, and the module's independence from the streams it opened.
#include <string.h>

#include <vector>

#include "standin_fixture.h"

namespace {

using ModuleTable = StandinFixture;

TEST_F(ModuleTable, ExportKeepsTheHandlesItWasGiven) {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x12340));
    InputModule *module = Velmor_GetInputModule2(GetModuleHandle(nullptr), window);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(module->ops, nullptr);
    EXPECT_EQ(module->ops, module_->ops) << "one table shared by all modules";
    EXPECT_EQ(module->instance, GetModuleHandle(nullptr));
    EXPECT_EQ(module->parentWindow, window);
    EXPECT_EQ(module->reader, nullptr);
    EXPECT_EQ(module->headerInfo, nullptr);
    module->ops->Release(module);
}

// Both texts are static: they outlive the module that handed them out.
TEST_F(ModuleTable, DescriptionAndFilterTextAreStatic) {
    InputModule *module = Velmor_GetInputModule2(GetModuleHandle(nullptr), nullptr);
    ASSERT_NE(module, nullptr);
    const char *description = module->ops->GetDescription();
    const char *filter = module->ops->GetFilterText();
    module->ops->Release(module);

    EXPECT_STREQ(description, "DOR Odiride v0.5");
    // One description/pattern pair, then the empty text that ends the list.
    ASSERT_NE(filter, nullptr);
    EXPECT_STREQ(filter, "WMA data");
    const char *pattern = filter + strlen(filter) + 1;
    EXPECT_STREQ(pattern, "*.WMA");
    EXPECT_STREQ(pattern + strlen(pattern) + 1, "");
}

TEST_F(ModuleTable, EmptyEntryChangesNothing) {
    std::vector<uint8_t> before(reinterpret_cast<uint8_t *>(module_),
                                reinterpret_cast<uint8_t *>(module_) + sizeof(InputModule));
    module_->ops->Empty();
    EXPECT_EQ(memcmp(before.data(), module_, sizeof(InputModule)), 0);
    StandinRecord record = Record();
    EXPECT_EQ(record.readersCreated, 0);
}

// A stream is independent of its module: it plays on after the release.
TEST_F(ModuleTable, ReleaseLeavesOpenStreamsPlaying) {
    DefineFile("C:\\music\\song.wma", {100000, 500});
    DefineFile("C:\\music\\next.wma", {700});
    DecodeStream *playing = Open("C:\\music\\song.wma");
    DecodeStream *unread = Open("C:\\music\\next.wma");
    const uint8_t *data;
    ASSERT_EQ(Read(playing, &data), 40000u);

    module_->ops->Release(module_);
    module_ = nullptr;

    ASSERT_EQ(Read(playing, &data), 60000u);
    EXPECT_TRUE(SampleBytesMatch(data, 60000, 0, 40000));
    ASSERT_EQ(Read(playing, &data), 500u);
    EXPECT_TRUE(SampleBytesMatch(data, 500, 1, 0));
    EXPECT_EQ(Read(playing, &data), 0u);
    EXPECT_TRUE(ReadAll(unread, {{0, 700}}, nullptr));
    EXPECT_EQ(Seek(unread, 0), 0);
    Close(playing);
    Close(unread);
    EXPECT_EQ(Record().closes, 2);
}

struct NameCase {
    const char *name;
    int32_t expected;
};

void PrintTo(const NameCase &name, std::ostream *out) { *out << "'" << name.name << "'"; }

class CanHandle : public StandinFixture, public ::testing::WithParamInterface<NameCase> {};

// Decided by the name alone: the text from the last '.' must be ".wma" in
// any case, and network addresses are refused whatever they end in.
TEST_P(CanHandle, DecidesByTheNameAlone) {
    EXPECT_EQ(module_->ops->CanHandle(module_, GetParam().name), GetParam().expected);
    EXPECT_EQ(Record().opens, 0) << "no file is opened to decide";
}

INSTANTIATE_TEST_SUITE_P(
    Names, CanHandle,
    ::testing::Values(NameCase{"C:\\music\\song.WMA", 1}, NameCase{"song.wma", 1}, NameCase{".wma", 1},
                      NameCase{"song.WmA", 1}, NameCase{"song.wma.bak", 0}, NameCase{"C:\\a.wma\\song", 0},
                      NameCase{"song", 0}, NameCase{"", 0}, NameCase{"song.wm", 0}, NameCase{"song.wmav", 0},
                      NameCase{"song.mp3", 0}, NameCase{"mms://server/song.wma", 0},
                      NameCase{"http://x/a.wma", 0}, NameCase{"C:\\odd://name.wma", 0}));

}  // namespace
