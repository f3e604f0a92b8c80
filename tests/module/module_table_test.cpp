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

// Decided by the name alone, by the rule the native checks go through case
// by case (".wma" after the last '.', in any case; no network address).
TEST_F(ModuleTable, CanHandleDecidesByTheNameAlone) {
    const char kNotOpened[] = "C:\\music\\song.WMA";
    DefineFile(kNotOpened, {500});
    EXPECT_EQ(module_->ops->CanHandle(module_, kNotOpened), 1);
    EXPECT_EQ(module_->ops->CanHandle(module_, "song.wma.bak"), 0);
    EXPECT_EQ(module_->ops->CanHandle(module_, "mms://server/song.wma"), 0);
    EXPECT_EQ(Record().opens, 0) << "no file is opened to decide";
}

// ---------------------------------------------------------------- the 32-bit calling convention

#if defined(__i386__)
// Calls fn with four argument words, stores what it returned in *result, and
// returns how many bytes of the arguments the callee removed from the stack.
extern "C" uint32_t CallCountingPops(const void *fn, uint32_t *result, uint32_t a, uint32_t b, uint32_t c,
                                     uint32_t d);
asm(".text; .globl _CallCountingPops; _CallCountingPops: pushl %ebp; movl %esp, %ebp; pushl %esi\n"
    "pushl 28(%ebp); pushl 24(%ebp); pushl 20(%ebp); pushl 16(%ebp); movl %esp, %esi; call *8(%ebp)\n"
    "movl 12(%ebp), %ecx; movl %eax, (%ecx); movl %esp, %eax; subl %esi, %eax\n"
    "movl -4(%ebp), %esi; movl %ebp, %esp; popl %ebp; ret\n");
#endif

using Abi32 = StandinFixture;

// The player removes the arguments after every call. An entry that removed
// them itself (stdcall) would leave the player's stack that many bytes off.
// The dialogs' two entries are declared alike and need a display.
TEST_F(Abi32, EntriesLeaveTheArgumentsToTheCaller) {
#if !defined(__i386__)
    GTEST_SKIP() << "a 64-bit build has one calling convention: only the 32-bit DLL can show this";
#else
    DefineFile("C:\\music\\song.wma", {100000});
    auto call = [](const char *entry, auto fn, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0) {
        uint32_t result = 0;
        EXPECT_EQ(CallCountingPops(reinterpret_cast<const void *>(fn), &result, a, b, c, d), 0u) << entry;
        return result;
    };
    auto word = [](const void *pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); };
    const ModuleOps *ops = module_->ops;
    const char *name = "C:\\music\\song.wma";
    FileInfo info;
    const uint8_t *data = nullptr;
    call("GetDescription", ops->GetDescription);
    call("GetFilterText", ops->GetFilterText);
    call("Empty", ops->Empty);
    EXPECT_EQ(call("CanHandle", ops->CanHandle, word(module_), word(name)), 1u);
    EXPECT_EQ(call("GetFileInfo", ops->GetFileInfo, word(module_), word(name), 0, word(&info)), 1u);
    uint32_t opened = call("OpenStream", ops->OpenStream, word(module_), word(name));
    DecodeStream *stream = reinterpret_cast<DecodeStream *>(static_cast<uintptr_t>(opened));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(call("Read", stream->ops->Read, word(stream), word(&data)), 40000u);
    EXPECT_EQ(call("Seek", stream->ops->Seek, word(stream), 0), 0u);
    call("Empty2", stream->ops->Empty2);
    call("Empty3", stream->ops->Empty3);
    call("Close", stream->ops->Close, word(stream));
    call("Release", ops->Release, word(module_));
    module_ = nullptr;
#endif
}

}  // namespace
