// ShowAbout on a module made by the real plug-in DLL: a centred box owned by
// the player whose result tells how it was closed.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include "dialog_driver.h"

namespace {

class AboutDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(host_.library(), nullptr) << "the plug-in did not load";
        module_ = host_.NewModule();
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_) module_->ops->Release(module_);
    }

    int32_t ShowAbout(const DialogScript &script) {
        InputModule *module = module_;
        return DriveDialog([module] { return module->ops->ShowAbout(module); }, script);
    }

    PluginHost &host_ = PluginHost::Get();
    InputModule *module_ = nullptr;
};

TEST_F(AboutDialogTest, OkReturnsOne) {
    HWND player = host_.playerWindow();
    int32_t result = ShowAbout([&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), "About");
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), player);
        EXPECT_FALSE(IsWindowEnabled(player)) << "the box is modal to the player";

        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
        RECT box;
        GetWindowRect(dialog, &box);
        EXPECT_LE(abs((box.left + box.right) - (monitor.rcWork.left + monitor.rcWork.right)), 2) << "centred";
        EXPECT_LE(abs((box.top + box.bottom) - (monitor.rcWork.top + monitor.rcWork.bottom)), 2) << "centred";

        EXPECT_GT(SaveWindowImage(dialog, "about"), 2);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(IsWindowEnabled(player));
}

TEST_F(AboutDialogTest, EscapeAndTheCloseBoxReturnTwo) {
    int32_t result = ShowAbout([](HWND dialog) {
        PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(result, 2) << "Escape";
    result = ShowAbout([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(result, 2) << "close box";
}

}  // namespace
