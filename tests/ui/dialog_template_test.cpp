// The two dialog templates as the plug-in DLL carries them: resource ids and
// languages, frame, font and every control in template order.
#include <windows.h>
#include <gtest/gtest.h>

#include <ctype.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "plugin/version.h"

namespace {

// Class atoms of the predefined controls in a dialog template.
enum : WORD { kButton = 0x80, kEdit = 0x81, kStatic = 0x82 };
constexpr WORD kNoId = 0xFFFF;  // a control the dialog never addresses

struct Control {
    DWORD style;
    WORD id;
    WORD classAtom;  // the predefined class, whether named by atom or by name
    std::string text;
    short x, y, cx, cy;
};

struct Dialog {
    DWORD style;
    short cx, cy;
    std::string caption;
    WORD pointSize;
    std::string font;
    std::vector<Control> controls;
};

// Walks a DLGTEMPLATE or DLGTEMPLATEEX (both are legal for DIALOG resources).
class TemplateReader {
  public:
    explicit TemplateReader(const BYTE *data) : p_(data) {}

    bool Read(Dialog *dialog) {
        bool extended = Word(0) == 1 && Word(2) == 0xFFFF;
        WORD count;
        if (extended) {
            p_ += 4 + 4 + 4;  // version and signature, help id, extended style
            dialog->style = Dword();
            count = Take();
        } else {
            dialog->style = Dword();
            p_ += 4;  // extended style
            count = Take();
        }
        p_ += 4;  // x, y
        dialog->cx = static_cast<short>(Take());
        dialog->cy = static_cast<short>(Take());
        NameOrAtom();  // menu
        NameOrAtom();  // class
        dialog->caption = String();
        if (dialog->style & DS_SETFONT) {
            dialog->pointSize = Take();
            if (extended) p_ += 4;  // weight, italic, charset
            dialog->font = String();
        }
        for (WORD i = 0; i < count; ++i) {
            Align();
            Control control = {};
            if (extended) {
                p_ += 4 + 4;  // help id, extended style
                control.style = Dword();
            } else {
                control.style = Dword();
                p_ += 4;
            }
            control.x = static_cast<short>(Take());
            control.y = static_cast<short>(Take());
            control.cx = static_cast<short>(Take());
            control.cy = static_cast<short>(Take());
            control.id = Take();
            if (extended) p_ += 2;  // high word of the 32-bit id
            control.classAtom = ClassAtom();
            control.text = StringOrAtom();
            p_ += Take();  // creation data
            dialog->controls.push_back(control);
        }
        return true;
    }

  private:
    WORD Word(size_t at) const { return *reinterpret_cast<const WORD *>(p_ + at); }
    WORD Take() {
        WORD value = Word(0);
        p_ += 2;
        return value;
    }
    DWORD Dword() {
        DWORD value = Take();
        return value | static_cast<DWORD>(Take()) << 16;
    }
    void Align() {
        while (reinterpret_cast<uintptr_t>(p_) % 4) ++p_;
    }
    std::string String() {
        std::string text;
        for (WORD c; (c = Take()) != 0;) text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }
    // An atom (0xFFFF then the atom) or a text; gives the atom, 0 for text.
    WORD NameOrAtom() {
        if (Word(0) == 0xFFFF) {
            p_ += 2;
            return Take();
        }
        String();
        return 0;
    }
    // RC compilers may name a predefined class by its name instead of its atom.
    WORD ClassAtom() {
        if (Word(0) == 0xFFFF) return NameOrAtom();
        std::string name = String();
        for (char &c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (name == "button") return kButton;
        if (name == "edit") return kEdit;
        if (name == "static") return kStatic;
        return 0;
    }
    std::string StringOrAtom() {
        if (Word(0) == 0xFFFF) {
            p_ += 4;
            return "";
        }
        return String();
    }
    const BYTE *p_;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR context) {
    reinterpret_cast<std::vector<WORD> *>(context)->push_back(language);
    return TRUE;
}

// Every language in which the library carries dialog id.
std::vector<WORD> LanguagesOf(HMODULE library, int id) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(library, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

bool LoadDialog(HMODULE library, int id, WORD language, Dialog *dialog) {
    HRSRC resource = FindResourceExA(library, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(id), language);
    if (!resource) return false;
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(library, resource)));
    return data && TemplateReader(data).Read(dialog);
}

// The window kind of a control: class and the style bits that pick its type.
enum Kind { kDefaultButton, kPushButton, kEditBox, kGroupBox, kText, kAutoCheckBox };

struct Expected {
    WORD id;
    Kind kind;
    const char *text;  // null: any non-empty text
    short x, y, cx, cy;
};

void ExpectKind(const Control &control, Kind kind) {
    const DWORD common = WS_CHILD | WS_VISIBLE;
    EXPECT_EQ(control.style & common, common) << "visible child";
    EXPECT_EQ(control.style & WS_DISABLED, 0u) << "created enabled";
    bool tabStop = (control.style & WS_TABSTOP) != 0;
    switch (kind) {
        case kDefaultButton:
        case kPushButton:
            EXPECT_EQ(control.classAtom, kButton);
            EXPECT_EQ(control.style & BS_TYPEMASK,
                      static_cast<DWORD>(kind == kDefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
            EXPECT_TRUE(tabStop);
            break;
        case kEditBox:
            EXPECT_EQ(control.classAtom, kEdit);
            EXPECT_TRUE(control.style & WS_BORDER);
            EXPECT_TRUE(control.style & ES_AUTOHSCROLL);
            EXPECT_FALSE(control.style & (ES_MULTILINE | ES_READONLY | ES_PASSWORD));
            EXPECT_TRUE(tabStop);
            break;
        case kGroupBox:
            EXPECT_EQ(control.classAtom, kButton);
            EXPECT_EQ(control.style & BS_TYPEMASK, static_cast<DWORD>(BS_GROUPBOX));
            break;
        case kText:
            EXPECT_EQ(control.classAtom, kStatic);
            EXPECT_EQ(control.style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
            EXPECT_FALSE(tabStop);
            break;
        case kAutoCheckBox:
            EXPECT_EQ(control.classAtom, kButton);
            EXPECT_EQ(control.style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
            EXPECT_TRUE(tabStop);
            break;
    }
}

void ExpectControls(const Dialog &dialog, const std::vector<Expected> &expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control &got = dialog.controls[i];
        const Expected &want = expected[i];
        SCOPED_TRACE("control #" + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
        EXPECT_EQ(got.id, want.id);
        ExpectKind(got, want.kind);
        if (want.text)
            EXPECT_EQ(got.text, want.text);
        else
            EXPECT_FALSE(got.text.empty());
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
    }
}

const DWORD kModalFrame = DS_SYSMODAL | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;

class DialogTemplateTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(library_, nullptr) << "the plug-in did not load"; }
    HMODULE library_ = PluginHost::Get().library();
};

TEST_F(DialogTemplateTest, ConfigurationDialogIsRussianTaggedWithTheTitleControls) {
    const WORD russian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
    ASSERT_EQ(russian, 1049);
    EXPECT_EQ(LanguagesOf(library_, 102), std::vector<WORD>{russian});
    Dialog dialog = {};
    ASSERT_TRUE(LoadDialog(library_, 102, russian, &dialog));

    EXPECT_EQ(dialog.style, kModalFrame);
    EXPECT_EQ(dialog.cx, 166);
    EXPECT_EQ(dialog.cy, 138);
    EXPECT_EQ(dialog.caption, "Configure track title format");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.font, "MS Sans Serif");
    ExpectControls(dialog, {
                               {1, kDefaultButton, "OK", 25, 117, 50, 14},
                               {2, kPushButton, "Cancel", 91, 117, 50, 14},
                               {1003, kEditBox, "", 14, 42, 137, 12},
                               {kNoId, kGroupBox, "Track title (work if ID3 tag not found)", 7, 7, 150, 102},
                               {1005, kText, "%1 - Artist", 15, 62, 43, 9},
                               {1006, kText, "%2 - Album", 15, 76, 42, 9},
                               {1007, kText, "%3 - Title", 15, 91, 42, 9},
                               {1009, kText, "%4 - Track number", 90, 63, 60, 8},
                               {1011, kText, "%5 - Genre", 90, 77, 56, 8},
                               {1013, kText, "%6 - Date", 90, 92, 56, 8},
                               {1004, kAutoCheckBox, "Check1", 13, 23, 12, 10},
                               {kNoId, kText, "Use the same options as for ID3 tags", 31, 23, 117, 8},
                           });
}

TEST_F(DialogTemplateTest, AboutDialogIsEnglishTaggedCentredWithOkAndThreeLines) {
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    ASSERT_EQ(english, 1033);
    EXPECT_EQ(LanguagesOf(library_, 101), std::vector<WORD>{english});
    Dialog dialog = {};
    ASSERT_TRUE(LoadDialog(library_, 101, english, &dialog));

    EXPECT_EQ(dialog.style, kModalFrame | DS_CENTER);
    EXPECT_EQ(dialog.cx, 133);
    EXPECT_EQ(dialog.cy, 81);
    EXPECT_EQ(dialog.caption, "About");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.font, "MS Sans Serif");
    ExpectControls(dialog, {
                               {1, kDefaultButton, "OK", 42, 60, 50, 14},
                               {kNoId, kText, "vivu_wma " VIVU_VERSION_TEXT, 27, 19, 78, 8},  // which one is installed
                               {kNoId, kText, nullptr, 41, 31, 51, 8},
                               {kNoId, kText, nullptr, 12, 43, 109, 8},
                           });
}

}  // namespace
