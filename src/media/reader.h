// Opening and closing a synchronous reader of the media runtime.
//
// The runtime (WMVCore.DLL) is loaded at first use, not imported, so the
// plug-in still loads where the runtime is missing: there every open just
// yields no reader, and streams and queries behave as for a file that did
// not open. It is taken from the system directory only, never from the
// player's folder, the current directory or PATH, where any file of that
// name would otherwise run inside the player.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

enum { kFileNameUnits = 1024 };

// fileName (ANSI code page) as UTF-16 with its terminator, into wide
// (kFileNameUnits units). False when it is null, does not convert or does
// not fit.
bool WideFileName(const char *fileName, WCHAR *wide);

// A reader and what its owner must undo when done with it.
struct ReaderHold {
    IWMSyncReader *reader;  // null when none could be made
    bool comInitialized;    // CoInitialize succeeded and wants its CoUninitialize
    DWORD comThread;        // the thread it succeeded on: only there may it be undone
};

// Converts fileName (ANSI code page) to UTF-16, initialises COM on this
// thread, creates a reader and opens the file. *lastStatus ends holding the
// status of the last step taken. A name that does not fit 1024 UTF-16 units
// or does not convert is never opened, nor is a file that cannot be a whole
// ASF file, and a file that does not open keeps no reader: each leaves
// hold->reader null.
void OpenReader(const char *fileName, ReaderHold *hold, HRESULT *lastStatus);

// Closes the file, releases the reader and leaves hold empty. COM is
// uninitialised only on the thread that initialised it: a player may close a
// stream from another thread than the one that opened it, and that thread's
// apartment is the player's own.
void CloseReader(ReaderHold *hold);

// The interface id of the reader's header view, IWMHeaderInfo.
extern const GUID kHeaderInfoId;
