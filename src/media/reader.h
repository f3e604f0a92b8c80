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

#include "media/file_source.h"
#include "wine/open_deadline.h"

enum { kFileNameUnits = 1024 };

// fileName (ANSI code page) as UTF-16 with its terminator, into wide
// (kFileNameUnits units). False when it is null, does not convert or does
// not fit.
bool WideFileName(const char *fileName, WCHAR *wide);

// True where the media runtime is Wine's own (wine/wine_runtime.h). Loads
// the runtime, as the first open would; false where there is none.
bool RuntimeIsWinesOwn();

// A thread by its id and its creation time (100-ns units).
struct ThreadMark {
    DWORD id;  // 0: no mark
    uint64_t created;
};

// A reader and what its owner must undo when done with it.
struct ReaderHold {
    IWMSyncReader *reader;  // null when none could be made
    FileSource source;      // the file the reader reads, where the plug-in could open it
    bool comInitialized;    // CoInitialize succeeded and wants its CoUninitialize
    ThreadMark comThread;   // the thread it succeeded on: only there may it be undone
};

// Converts fileName (ANSI code page) to UTF-16, opens the file, initialises
// COM on this thread, creates a reader and opens it on the file: on the
// plug-in's own stream over it, or by name where the file system has no
// file by that name (an address the runtime may know how to reach). A file
// that is there but refused the plug-in (access denied, held without
// sharing) is never opened by name: the runtime may keep a file whose Open
// fails, and the user's file would stay locked. *lastStatus ends holding
// the status of the last step taken. A name that does not fit 1024 UTF-16
// units or does not convert is never opened, nor is a file that starts as
// ASF but cannot be a whole ASF file; a file the runtime cannot open keeps
// no reader. Each leaves hold->reader null; the file itself stays
// open in hold->source until CloseReader, for its owner to read its header.
// `visit`, where not null, runs once the runtime has opened the file (see
// ReaderVisit).
void OpenReader(const char *fileName, ReaderHold *hold, HRESULT *lastStatus, const ReaderVisit *visit = nullptr);

// Opens a reader as OpenReader does, on a second stream over `file`, which
// another hold has open (ShareFileSource): the same file, however it has
// been renamed, deleted or replaced since. Never by name.
void OpenSecondReader(const FileSource &file, ReaderHold *hold, HRESULT *lastStatus);

// Closes and releases the reader alone, leaving the file and COM to
// CloseReader.
void ReleaseReader(ReaderHold *hold);

// Closes the file, releases the reader and leaves hold empty. COM is
// uninitialised only on the thread that initialised it: a player may close a
// stream from another thread than the one that opened it, and that thread's
// apartment is the player's own. Closing twice does nothing more.
void CloseReader(ReaderHold *hold);

// The COM part of CloseReader alone, for a reader that is closed later on
// another thread: undone here where this thread initialised it, and
// forgotten either way, so that the later close leaves COM alone.
void UndoReaderCom(ReaderHold *hold);
