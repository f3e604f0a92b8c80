// Drives the plug-in's modal dialogs from a second thread, as a user would:
// the test thread calls Configure or ShowAbout (which block in the dialog's
// modal loop) while a watcher thread finds the dialog, reads and clicks its
// controls and closes it. Every wait is bounded: a dialog that never shows
// or never closes becomes a test failure, not a hang.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <functional>
#include <string>

#include "plugin/module.h"

// The built plug-in, loaded once by path as the player loads it, and a
// top-level window standing in for the player's own.
class PluginHost {
  public:
    static PluginHost &Get();

    HMODULE library() const { return library_; }
    HWND playerWindow() const { return playerWindow_; }

    // A module made by the export with the library's own instance handle and
    // the player window; null when the library or its export is missing.
    InputModule *NewModule() const;

  private:
    PluginHost();
    HMODULE library_ = nullptr;
    HWND playerWindow_ = nullptr;
};

// What the watcher does with the open dialog. It must end by pressing
// something that closes it.
using DialogScript = std::function<void(HWND dialog)>;

// Runs open() on this thread and script on a watcher thread against the
// dialog that open() shows; returns open()'s result.
int32_t DriveDialog(const std::function<int32_t()> &open, const DialogScript &script);

// Control helpers, usable from the watcher thread.
std::string ControlText(HWND dialog, int id);
std::string WindowText(HWND window);
void Click(HWND dialog, int id);           // BM_CLICK, as a mouse click does
void SetControlText(HWND dialog, int id, const std::string &text);
void TypeChars(HWND dialog, int id, char c, int count);  // WM_CHAR, as typing does

// Saves an image of a modal dialog owned by the player window, once it has
// repainted completely (frame, caption and controls), as a 24-bit BMP
// named name + ".bmp" in the screenshot folder: VIVU_SCREENSHOTS if set,
// else "screenshots" beside the test program. Returns the number of distinct
// colours captured (0 when nothing could be saved).
int SaveWindowImage(HWND window, const std::string &name);
