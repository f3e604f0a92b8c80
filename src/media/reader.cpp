#include "media/reader.h"

#include <string.h>

#include "asf/asf_probe.h"
#include "wine/open_deadline.h"
#include "wine/wine_runtime.h"

namespace {

typedef HRESULT(WINAPI *CreateSyncReaderFn)(IUnknown *certificate, DWORD rights, IWMSyncReader **reader);

const char kRuntimeName[] = "WMVCore.DLL";

// Only the system directory may give the runtime. Windows without the
// search flags (before the 2011 loader update) refuse them with
// ERROR_INVALID_PARAMETER; there the full path does the same. A runtime the
// process has already loaded under this name is used as it is.
HMODULE LoadRuntime() {
    HMODULE runtime = LoadLibraryExA(kRuntimeName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (runtime || GetLastError() != ERROR_INVALID_PARAMETER) return runtime;
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + sizeof(kRuntimeName) > MAX_PATH) return nullptr;
    path[length] = '\\';
    memcpy(path + length + 1, kRuntimeName, sizeof(kRuntimeName));
    return LoadLibraryA(path);
}

// Looked up at the first open that finds it, and kept for the process's
// life. A lookup that fails (no runtime yet, or too little memory to load
// it) is tried again at the next open. Two threads opening at once may both
// look it up (loading a library twice only counts it twice); the first
// answer published is the one kept, without a lock.
CreateSyncReaderFn RuntimeFactory() {
    static void *volatile published;
    void *found = InterlockedCompareExchangePointer(&published, nullptr, nullptr);
    if (found) return reinterpret_cast<CreateSyncReaderFn>(found);
    HMODULE runtime = LoadRuntime();
    if (!runtime) return nullptr;
    void *factory = reinterpret_cast<void *>(GetProcAddress(runtime, "WMCreateSyncReader"));
    if (!factory) {
        FreeLibrary(runtime);
        return nullptr;
    }
    InterlockedCompareExchangePointer(&published, factory, nullptr);
    return reinterpret_cast<CreateSyncReaderFn>(published);
}

void IgnoreAttribute(void *, const AsfAttribute &) {}

// Nothing for a file that starts as ASF and cannot be a whole ASF file;
// under Wine, what the plug-in's own reading says (AskOfWine). Anything
// else may be content a runtime plays (an MP3 named .wma, say) or refuses
// at once.
RuntimeAsk AskOfRuntime(const FileSource &source) {
    uint8_t first[kAsfProbeBytes];
    DWORD count = ReadFileSourceAt(source, 0, first, sizeof(first));
    uint64_t size;
    if (!StartsAsAsf(first, count)) return kAskRuntime;
    if (!FileSourceSize(source, &size) || !CanStartAsfFile(first, count, size)) return kAskNothing;
    if (!RuntimeIsWinesOwn()) return kAskRuntime;
    AsfHeld held;
    ReadAsfFile(source, IgnoreAttribute, nullptr, &held);
    return AskOfWine(held);
}

// This thread, told apart from every other: a thread that starts after
// another ended may get its id, and closing there would undo that new
// thread's own COM; it never also gets its creation time. No mark (id 0)
// where the time cannot be had, which undoes nothing.
ThreadMark ThisThread() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return ThreadMark{0, 0};
    return ThreadMark{GetCurrentThreadId(), uint64_t{created.dwHighDateTime} << 32 | created.dwLowDateTime};
}

bool SameThread(const ThreadMark &a, const ThreadMark &b) {
    return a.id != 0 && a.id == b.id && a.created == b.created;
}

void EmptyHold(ReaderHold *hold) {
    hold->reader = nullptr;
    hold->source = NoFileSource();
    hold->comInitialized = false;
    hold->comThread = ThreadMark{0, 0};
}

// Opens the hold's reader, a vouched file's as many times as Wine's
// runtime may need (kWineOpenTries), each try after a failed one with a
// new reader.
OpenOutcome OpenWithTries(ReaderHold *hold, CreateSyncReaderFn create, const WCHAR *name, RuntimeAsk ask,
                          const ReaderVisit *visit, HRESULT *lastStatus) {
    FileSource *file = StreamOf(hold->source) ? &hold->source : nullptr;
    const DWORD start = GetTickCount();
    for (int tries = 1;; ++tries) {
        OpenOutcome outcome =
            OpenBeforeDeadline(hold->reader, file, name, ask == kAskRuntimeVouched, visit, lastStatus);
        if (outcome != kOpenReturned || SUCCEEDED(*lastStatus) || ask != kAskRuntimeVouched ||
            tries >= kWineOpenTries || GetTickCount() - start >= kWineOpenRetryBudgetMs)
            return outcome;
        ReleaseReader(hold);
        *lastStatus = create(nullptr, WMT_RIGHT_PLAYBACK, &hold->reader);
        if (FAILED(*lastStatus)) {
            hold->reader = nullptr;
            return kOpenNotAsked;
        }
    }
}

// Initialises COM on this thread, creates a reader and opens it on
// hold->source's stream, or by `name` where hold->source has no file.
OpenOutcome CreateAndOpen(ReaderHold *hold, const WCHAR *name, RuntimeAsk ask, const ReaderVisit *visit,
                          HRESULT *lastStatus) {
    // A thread already in the multithreaded apartment answers
    // RPC_E_CHANGED_MODE: COM is usable, and nothing is to be undone.
    *lastStatus = CoInitialize(nullptr);
    hold->comInitialized = SUCCEEDED(*lastStatus);
    hold->comThread = ThisThread();

    CreateSyncReaderFn create = RuntimeFactory();
    if (!create) {
        *lastStatus = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        return kOpenNotAsked;
    }
    *lastStatus = create(nullptr, WMT_RIGHT_PLAYBACK, &hold->reader);
    if (FAILED(*lastStatus)) {
        hold->reader = nullptr;
        return kOpenNotAsked;
    }
    // A file that did not open shows itself later as a stream without samples
    // or a file without attributes. The reader is given back at once: a
    // reader whose Open failed has nothing to offer.
    OpenOutcome outcome = OpenWithTries(hold, create, name, ask, visit, lastStatus);
    if (outcome == kOpenGivenUp) {
        // The reader is the stuck open's now. Its stream is cut off from the
        // file, which then stays locked by nobody.
        hold->reader = nullptr;
        CloseFileSource(&hold->source);
    } else if (FAILED(*lastStatus)) {
        ReleaseReader(hold);
    }
    return outcome;
}

}  // namespace

bool RuntimeIsWinesOwn() {
    CreateSyncReaderFn factory = RuntimeIsWine() ? RuntimeFactory() : nullptr;
    HMODULE runtime;
    return factory &&
           GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(factory), &runtime) &&
           IsWineBuiltin(runtime);
}

void ReleaseReader(ReaderHold *hold) {
    if (!hold->reader) return;
    hold->reader->Close();
    hold->reader->Release();
    hold->reader = nullptr;
}

bool WideFileName(const char *fileName, WCHAR *wide) {
    return fileName && MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide, kFileNameUnits) != 0;
}

void OpenReader(const char *fileName, ReaderHold *hold, HRESULT *lastStatus, const ReaderVisit *visit) {
    EmptyHold(hold);
    WCHAR wideName[kFileNameUnits];
    if (!WideFileName(fileName, wideName)) {
        *lastStatus = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        return;
    }

    FileOpening opening = OpenFileSource(wideName, &hold->source);
    if (opening == kFileRefused) {
        // Opening by name would hand the runtime a file it may keep.
        *lastStatus = HRESULT_FROM_WIN32(GetLastError());
        if (SUCCEEDED(*lastStatus)) *lastStatus = E_FAIL;
        return;
    }
    bool ownFile = opening == kFileOpened;
    RuntimeAsk ask = ownFile ? AskOfRuntime(hold->source) : kAskRuntime;
    if (ask == kAskNothing) {
        *lastStatus = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
        return;
    }
    // The owner reads the header of a file given up on from a handle of
    // its own.
    if (CreateAndOpen(hold, wideName, ask, visit, lastStatus) == kOpenGivenUp && ownFile)
        OpenFileSource(wideName, &hold->source);
}

void OpenSecondReader(const FileSource &file, ReaderHold *hold, HRESULT *lastStatus) {
    EmptyHold(hold);
    hold->source = ShareFileSource(file);
    if (!StreamOf(hold->source)) {
        *lastStatus = HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);
        return;
    }
    // The runtime opened this file before, for the stream that asks.
    CreateAndOpen(hold, nullptr, RuntimeIsWinesOwn() ? kAskRuntimeVouched : kAskRuntime, nullptr, lastStatus);
}

void CloseReader(ReaderHold *hold) {
    ReleaseReader(hold);
    // After the reader: a runtime reads the file until its Close returns.
    CloseFileSource(&hold->source);
    UndoReaderCom(hold);
}

void UndoReaderCom(ReaderHold *hold) {
    // Closed on another thread, the opening thread keeps its count: it is
    // not ours to undo from here, and this thread's count is the player's.
    if (hold->comInitialized && SameThread(hold->comThread, ThisThread())) CoUninitialize();
    hold->comInitialized = false;
}
