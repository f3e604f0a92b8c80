// Configure on modules made by the real plug-in DLL: the dialog shows the
// module's own settings, the check box applies at once, OK keeps the edited
// template, Cancel drops it, and the settings are saved however it closes.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "registry_sandbox.h"

namespace {

enum { kEdit = 1003, kUsePlayerBox = 1004 };
const int kLegends[] = {1005, 1006, 1007, 1009, 1011, 1013};

// Leaves the module key as the test program found it.
class RegistryGuard : public testing::Environment {
  public:
    void SetUp() override { sandbox_.reset(new PlayerKeySandbox); }
    void TearDown() override { sandbox_.reset(); }

  private:
    std::unique_ptr<PlayerKeySandbox> sandbox_;
};
const testing::Environment *const kRegistryGuard = testing::AddGlobalTestEnvironment(new RegistryGuard);

std::string StoredText(const char *name, unsigned long expectedType) {
    StoredValue stored = ReadValue(kModuleKey, name);
    if (stored.status != ERROR_SUCCESS) return "<missing>";
    DWORD type = stored.type;
    std::string data = stored.data;
    if (type != expectedType) return "<type " + std::to_string(type) + ">";
    // The registry itself appends a terminator to a text written without one.
    if (type == REG_SZ && !data.empty() && data.back() == '\0') data.pop_back();
    return data;
}

std::string StoredTemplate() { return StoredText("Trackline", REG_SZ); }
std::string StoredChoice() { return StoredText("id3ordial", REG_BINARY); }

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// The box, the edit box and the legends as the template choice wants them:
// choice 0 ticks the box and greys the rest, 1 clears it and enables all.
void ExpectControlsFor(HWND dialog, uint8_t choice) {
    bool own = choice != 0;
    EXPECT_EQ(IsDlgButtonChecked(dialog, kUsePlayerBox), own ? BST_UNCHECKED : BST_CHECKED);
    EXPECT_EQ(Enabled(dialog, kEdit), own) << "edit box";
    for (int id : kLegends) EXPECT_EQ(Enabled(dialog, id), own) << "legend " << id;
    EXPECT_TRUE(Enabled(dialog, kUsePlayerBox));
    EXPECT_TRUE(Enabled(dialog, IDOK));
    EXPECT_TRUE(Enabled(dialog, IDCANCEL));
}

class ConfigDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(host_.library(), nullptr) << "the plug-in did not load";
        ASSERT_NE(host_.playerWindow(), nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, kModuleKey);
    }
    void TearDown() override {
        for (InputModule *module : modules_) module->ops->Release(module);
    }

    // A module created from the given stored settings.
    InputModule *NewModule(uint8_t choice, const std::string &text) {
        WriteValue(kModuleKey, "id3ordial", REG_BINARY, &choice, 1);
        WriteValue(kModuleKey, "Trackline", REG_SZ, text.data(), static_cast<DWORD>(text.size()));
        InputModule *module = host_.NewModule();
        if (module) modules_.push_back(module);
        return module;
    }

    static int32_t Configure(InputModule *module, const DialogScript &script) {
        return DriveDialog([module] { return module->ops->Configure(module); }, script);
    }

    PluginHost &host_ = PluginHost::Get();
    std::vector<InputModule *> modules_;
};

TEST_F(ConfigDialogTest, PlayersTemplateOpensTickedWithTemplateControlsGreyed) {
    InputModule *module = NewModule(0, "%2 (%1)");
    ASSERT_NE(module, nullptr);
    HWND player = host_.playerWindow();
    int32_t status = Configure(module, [&](HWND dialog) {
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), player);
        EXPECT_FALSE(IsWindowEnabled(player)) << "the dialog is modal to the player";
        EXPECT_EQ(WindowText(dialog), "Configure track title format");
        EXPECT_EQ(ControlText(dialog, kEdit), "%2 (%1)");
        ExpectControlsFor(dialog, 0);
        EXPECT_GT(SaveWindowImage(dialog, "configure-choice0"), 2);
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(IsWindowEnabled(player));
    EXPECT_STREQ(module->settings.titleTemplate, "%2 (%1)");
    EXPECT_EQ(module->settings.templateChoice, 0);
}

TEST_F(ConfigDialogTest, OwnTemplateOpensClearWithEverythingEnabled) {
    InputModule *module = NewModule(1, "%1 - %3");
    ASSERT_NE(module, nullptr);
    int32_t status = Configure(module, [&](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kEdit), "%1 - %3");
        ExpectControlsFor(dialog, 1);
        EXPECT_EQ(SendDlgItemMessageA(dialog, kEdit, EM_GETLIMITTEXT, 0, 0), 254);
        EXPECT_GT(SaveWindowImage(dialog, "configure-choice1"), 2);
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(module->settings.templateChoice, 1);
}

TEST_F(ConfigDialogTest, TickingTheBoxAppliesAtOnceAndSurvivesCancel) {
    InputModule *module = NewModule(1, "%1 - %3");
    ASSERT_NE(module, nullptr);
    int32_t status = Configure(module, [&](HWND dialog) {
        Click(dialog, kUsePlayerBox);
        ExpectControlsFor(dialog, 0);
        EXPECT_EQ(module->settings.templateChoice, 0) << "applied while the dialog is open";
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(module->settings.templateChoice, 0);
    EXPECT_EQ(StoredChoice(), std::string(1, '\0'));
}

TEST_F(ConfigDialogTest, ClearingTheBoxEnablesTheTemplateAndIsSavedOnOk) {
    InputModule *module = NewModule(0, "%1 - %3");
    ASSERT_NE(module, nullptr);
    int32_t status = Configure(module, [&](HWND dialog) {
        Click(dialog, kUsePlayerBox);
        ExpectControlsFor(dialog, 1);
        EXPECT_EQ(module->settings.templateChoice, 1);
        Click(dialog, kUsePlayerBox);  // and back: greyed again
        ExpectControlsFor(dialog, 0);
        EXPECT_EQ(module->settings.templateChoice, 0);
        Click(dialog, kUsePlayerBox);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(module->settings.templateChoice, 1);
    EXPECT_EQ(StoredChoice(), std::string(1, '\1'));
    EXPECT_EQ(StoredTemplate(), "%1 - %3");
}

TEST_F(ConfigDialogTest, OkStoresTheEditedTemplate) {
    InputModule *module = NewModule(1, "%1 - %3");
    ASSERT_NE(module, nullptr);
    int32_t status = Configure(module, [&](HWND dialog) {
        SetControlText(dialog, kEdit, "%3");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(module->settings.titleTemplate, "%3");
    EXPECT_EQ(StoredTemplate(), "%3");
    EXPECT_EQ(StoredChoice(), std::string(1, '\1'));
}

TEST_F(ConfigDialogTest, CancelDropsTheEditAndStoresThePreviousTextAgain) {
    InputModule *module = NewModule(1, "%2 / %1");
    ASSERT_NE(module, nullptr);
    // Gone from the registry: only the save after the dialog can bring it back.
    DeleteValue(kModuleKey, "Trackline");
    int32_t status = Configure(module, [&](HWND dialog) {
        SetControlText(dialog, kEdit, "%6");
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    });
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(module->settings.titleTemplate, "%2 / %1");
    EXPECT_EQ(StoredTemplate(), "%2 / %1");
}

TEST_F(ConfigDialogTest, EachModuleEditsOnlyItsOwnSettings) {
    InputModule *first = NewModule(0, "%1 - %3");
    InputModule *second = host_.NewModule();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    modules_.push_back(second);
    strcpy(first->settings.titleTemplate, "%2");  // as an earlier dialog on it might have left it

    int32_t status = Configure(second, [&](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kEdit), "%1 - %3");
        Click(dialog, kUsePlayerBox);
        SetControlText(dialog, kEdit, "%4");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(second->settings.titleTemplate, "%4");
    EXPECT_EQ(second->settings.templateChoice, 1);
    EXPECT_STREQ(first->settings.titleTemplate, "%2");
    EXPECT_EQ(first->settings.templateChoice, 0);
    EXPECT_EQ(StoredTemplate(), "%4");
    EXPECT_EQ(StoredChoice(), std::string(1, '\1'));

    // The first module's dialog shows and saves the first module's values.
    status = Configure(first, [&](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kEdit), "%2");
        ExpectControlsFor(dialog, 0);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(second->settings.titleTemplate, "%4");
    EXPECT_EQ(StoredTemplate(), "%2");
    EXPECT_EQ(StoredChoice(), std::string(1, '\0'));
}

TEST_F(ConfigDialogTest, TypingStopsAt254Characters) {
    InputModule *module = NewModule(1, "");
    ASSERT_NE(module, nullptr);
    int32_t status = Configure(module, [&](HWND dialog) {
        TypeChars(dialog, kEdit, 'x', 300);
        EXPECT_EQ(SendDlgItemMessageA(dialog, kEdit, WM_GETTEXTLENGTH, 0, 0), 254);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(module->settings.titleTemplate), std::string(254, 'x'));
    EXPECT_EQ(StoredTemplate(), std::string(254, 'x'));
}

TEST_F(ConfigDialogTest, SaveIntoADeletedKeyFailsAndKeepsTheChangesInMemory) {
    InputModule *module = NewModule(0, "%1 - %3");
    ASSERT_NE(module, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, kModuleKey);
    int32_t status = Configure(module, [&](HWND dialog) {
        Click(dialog, kUsePlayerBox);
        SetControlText(dialog, kEdit, "%5");
        Click(dialog, IDOK);
    });
    EXPECT_NE(status, 0);
    EXPECT_FALSE(KeyExists(kModuleKey)) << "the save creates nothing";
    EXPECT_STREQ(module->settings.titleTemplate, "%5");
    EXPECT_EQ(module->settings.templateChoice, 1);
}

}  // namespace
