// Tag texts reach the title converted to the user's ANSI code page. The
// program runs under a Russian, a Western European and a Japanese locale
// (VIVU_EXPECT_ACP names the code page Wine should then give); the expected
// bytes are written out by hand, independent of any converter.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "plugin/module.h"
#include "standin_control.h"

namespace {

const int kString = 1;  // WMT_TYPE_STRING

class CodePage : public ::testing::Test {
protected:
    void SetUp() override {
        const char *expected = getenv("VIVU_EXPECT_ACP");
        ASSERT_NE(expected, nullptr) << "run with VIVU_EXPECT_ACP set";
        ASSERT_EQ(GetACP(), static_cast<UINT>(atoi(expected))) << "the locale did not give that code page";
        Standin_Reset();
        module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
        module->settings.templateChoice = kUseOwnTemplate;
        strcpy(module->settings.titleTemplate, "%3|%1");
    }
    void TearDown() override { module->ops->Release(module); }

    // The title built from a file whose "Title" and "Author" are these texts.
    std::string TitleOf(const wchar_t *title, const wchar_t *author) {
        int id = Standin_DefineFile(L"C:\\music\\song.wma");
        Standin_AddAttribute(id, L"Title", kString, title, static_cast<uint16_t>((wcslen(title) + 1) * 2));
        Standin_AddAttribute(id, L"Author", kString, author, static_cast<uint16_t>((wcslen(author) + 1) * 2));
        FileInfo info;
        memset(&info, 0, sizeof(info));
        EXPECT_EQ(module->ops->GetFileInfo(module, "C:\\music\\song.wma", 0, &info), 1);
        return info.title;
    }

    InputModule *module = nullptr;
};

// "Привет" and "Кино", "Café Über" and "Müller"; U+4E2D fits no ANSI page.
const wchar_t kCyrillic[] = L"\x041F\x0440\x0438\x0432\x0435\x0442";
const wchar_t kCyrillicAuthor[] = L"\x041A\x0438\x043D\x043E";
const wchar_t kWestern[] = L"Caf\x00E9 \x00DC" L"ber";
const wchar_t kWesternAuthor[] = L"M\x00FCller";
const wchar_t kNowhere[] = L"a\x4E2D" L"b";

TEST_F(CodePage, TagsArriveInTheUsersCodePage) {
    if (GetACP() == 1251) {
        EXPECT_EQ(TitleOf(kCyrillic, kCyrillicAuthor), "\xCF\xF0\xE8\xE2\xE5\xF2|\xCA\xE8\xED\xEE");
    } else if (GetACP() == 932) {
        EXPECT_EQ(TitleOf(L"\x3042\x3044", L"x"), "\x82\xA0\x82\xA2|x");
    } else {
        EXPECT_EQ(TitleOf(kWestern, kWesternAuthor), "Caf\xE9 \xDC" "ber|M\xFCller");
    }
}

TEST_F(CodePage, CharactersThePageCannotHoldBecomeItsDefaultCharacter) {
    std::string title = TitleOf(kNowhere, L"x");
    EXPECT_EQ(title, GetACP() == 932 ? "a\x92\x86" "b|x" : "a?b|x");
}

// "ab" and 200 hiragana A: in code page 932 each is two bytes, so the tag
// and then the title are cut before a character that would not fit whole.
TEST_F(CodePage, LongTextsAreCutOnWholeCharacters) {
    std::wstring tag = L"ab" + std::wstring(200, L'\x3042');
    std::string expected = "ab" + std::string(200, '?') + "|x";  // one byte each elsewhere
    if (GetACP() == 932) {
        expected = "ab";
        for (int at = 0; at < 126; ++at) expected += "\x82\xA0";
        expected += "|";
    }
    EXPECT_EQ(TitleOf(tag.c_str(), L"x"), expected);
}

}  // namespace
