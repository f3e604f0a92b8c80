#include "dialog_driver.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "plugin_library.h"

namespace {

// Every wait ends as soon as what it waits for happens; the limit only turns
// a dialog that never shows, closes or paints into a failure instead of a
// hang. A loaded two-core machine (Wine's X driver, the build, other test
// programs) can stall a dialog for seconds, so it is generous.
constexpr auto kPatience = std::chrono::seconds(60);

// A modal dialog's loop tells its owner each time it has run out of
// messages, paints included: the dialog is then fully drawn.
std::atomic<int> idleCount{0};

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENTERIDLE) ++idleCount;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreatePlayerWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PlayerWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VivuTestPlayer";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "VivuTestPlayer", "Player", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

struct ThreadDialogs {
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (strcmp(className, "#32770") == 0) reinterpret_cast<ThreadDialogs *>(context)->found.push_back(window);
    return TRUE;
}

// The dialogs (class #32770) that thread owns, visible or not.
std::vector<HWND> DialogsOf(DWORD threadId) {
    ThreadDialogs dialogs;
    EnumThreadWindows(threadId, CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs.found;
}

// Waits until predicate holds; false on timeout.
template <class Predicate>
bool WaitFor(std::chrono::steady_clock::duration timeout, Predicate predicate) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Sleep(20);
    }
    return true;
}

// Closes a dialog the script left open: first as Cancel would, then by force.
void ForceClose(HWND dialog) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (WaitFor(kPatience, [&] { return !IsWindow(dialog); })) return;
    EndDialog(dialog, -1);
}

void Watch(DWORD dialogThread, const std::atomic<bool> &openReturned, const DialogScript &script) {
    HWND dialog = nullptr;
    bool shown = WaitFor(kPatience, [&] {
        if (openReturned) return true;
        for (HWND candidate : DialogsOf(dialogThread))
            if (IsWindowVisible(candidate)) dialog = candidate;
        return dialog != nullptr;
    });
    if (!dialog) {
        if (openReturned)
            ADD_FAILURE() << "the call returned without showing a dialog";
        else
            ADD_FAILURE() << "no dialog became visible within " << kPatience.count() << " s";
        if (!shown)
            for (HWND leftover : DialogsOf(dialogThread)) ForceClose(leftover);
        return;
    }
    script(dialog);
    if (!WaitFor(kPatience, [&] { return !IsWindow(dialog); })) {
        ADD_FAILURE() << "the dialog did not close within " << kPatience.count() << " s";
        ForceClose(dialog);
    }
}

// Has the dialog repaint everything on its own thread and waits until its
// loop has gone idle after that. Two idle reports are awaited because the
// loop may have been just about to report when the repaint was requested.
bool RepaintAndSettle(HWND dialog) {
    int start = idleCount;
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return WaitFor(kPatience, [&] {
        PostMessageA(dialog, WM_NULL, 0, 0);  // wakes the loop so it reports again
        return idleCount - start >= 2;
    });
}

std::string ScreenshotDirectory() {
    const char *configured = getenv("VIVU_SCREENSHOTS");
    std::string dir;
    if (configured && *configured) {
        dir = configured;
    } else {
        char exe[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, exe, sizeof(exe));
        dir = exe;
        dir = dir.substr(0, dir.find_last_of("\\/")) + "\\screenshots";
    }
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

bool WriteBmp(const std::string &path, const BITMAPINFOHEADER &header, const void *pixels, DWORD pixelBytes) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + pixelBytes;
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&header, sizeof(header), 1, out) == 1 &&
              fwrite(pixels, pixelBytes, 1, out) == 1;
    return fclose(out) == 0 && ok;
}

}  // namespace

PluginHost &PluginHost::Get() {
    static PluginHost host;
    return host;
}

PluginHost::PluginHost() {
    library_ = PluginLibrary();
    playerWindow_ = CreatePlayerWindow();
}

InputModule *PluginHost::NewModule() const { return NewPluginModule(playerWindow_); }

int32_t DriveDialog(const std::function<int32_t()> &open, const DialogScript &script) {
    std::atomic<bool> openReturned{false};
    std::thread watcher(Watch, GetCurrentThreadId(), std::cref(openReturned), std::cref(script));
    int32_t result = open();
    openReturned = true;
    watcher.join();
    return result;
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void SetControlText(HWND dialog, int id, const std::string &text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TypeChars(HWND dialog, int id, char c, int count) {
    HWND control = GetDlgItem(dialog, id);
    for (int i = 0; i < count; ++i) SendMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
}

int SaveWindowImage(HWND window, const std::string &name) {
    if (!RepaintAndSettle(window)) ADD_FAILURE() << "the dialog did not finish painting";
    RECT bounds;
    GetWindowRect(window, &bounds);
    int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0) return 0;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC source = GetWindowDC(window);
    void *pixels = nullptr;
    HBITMAP image = CreateDIBSection(source, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ previous = SelectObject(memory, image);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();

    DWORD stride = (width * 3 + 3) & ~3u;
    DWORD pixelBytes = stride * height;
    std::set<uint32_t> colours;
    const uint8_t *bytes = static_cast<const uint8_t *>(pixels);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t *p = bytes + y * stride + x * 3;
            colours.insert(p[0] | p[1] << 8 | p[2] << 16);
        }
    bool saved = WriteBmp(ScreenshotDirectory() + "\\" + name + ".bmp", info.bmiHeader, pixels, pixelBytes);

    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(image);
    ReleaseDC(window, source);
    return saved ? static_cast<int>(colours.size()) : 0;
}
