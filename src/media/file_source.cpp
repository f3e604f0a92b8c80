#include "media/file_source.h"

#include <stdlib.h>

#include <new>

namespace {

// What the stream's calls answer once its owner has closed the file.
const HRESULT kFileClosed = HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);

}  // namespace

// The file's handle, shared by every stream over it. The lock keeps the
// handle from closing under a read, and the reads of all streams and
// threads apart (ReadLocked).
struct SharedHandle {
    CRITICAL_SECTION lock;
    HANDLE handle;
    bool sharesWriting;  // another program may be writing the file meanwhile
    LONG openStreams;    // streams not yet closed: the handle closes with the last
    LONG references;     // streams that point here, closed or not: freed with the last
};

// A read-only IStream over the handle, with a position of its own. The
// runtime may call it from a thread of its own, and a runtime that keeps a
// reference may call it after the owner closed the file.
class FileStream final : public IStream {
  public:
    // Takes one of file's references and one of its open streams.
    explicit FileStream(SharedHandle *file) : file_(file) {}

    // A second stream over the same handle, starting at 0; null once this
    // one is closed or out of memory.
    FileStream *Share() {
        EnterCriticalSection(&file_->lock);
        FileStream *second = closed_ ? nullptr : new (std::nothrow) FileStream(file_);
        if (second) {
            ++file_->openStreams;
            ++file_->references;
        }
        LeaveCriticalSection(&file_->lock);
        return second;
    }

    // Reads at an offset; 0 on an error and once the file is closed.
    DWORD ReadAt(uint64_t offset, void *buffer, DWORD size) {
        EnterCriticalSection(&file_->lock);
        DWORD got;
        ReadLocked(offset, buffer, size, &got);
        LeaveCriticalSection(&file_->lock);
        return got;
    }

    // False once the file is closed.
    bool Size(uint64_t *size) {
        EnterCriticalSection(&file_->lock);
        LARGE_INTEGER bytes;
        bool known = !closed_ && GetFileSizeEx(file_->handle, &bytes);
        LeaveCriticalSection(&file_->lock);
        if (known) *size = static_cast<uint64_t>(bytes.QuadPart);
        return known;
    }

    // False once the file is closed.
    bool Identify(BY_HANDLE_FILE_INFORMATION *facts) {
        EnterCriticalSection(&file_->lock);
        bool known = !closed_ && GetFileInformationByHandle(file_->handle, facts);
        LeaveCriticalSection(&file_->lock);
        return known;
    }

    // Cuts this stream off the file; the last stream over it closes it.
    void CloseFile() {
        EnterCriticalSection(&file_->lock);
        if (!closed_ && --file_->openStreams == 0) CloseHandle(file_->handle);
        closed_ = true;
        LeaveCriticalSection(&file_->lock);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(id, __uuidof(IUnknown)) && !IsEqualIID(id, __uuidof(ISequentialStream)) &&
            !IsEqualIID(id, __uuidof(IStream)))
            return E_NOINTERFACE;
        *object = static_cast<IStream *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    // S_FALSE is the end of the file to a runtime, so only a short read
    // says it: a read that fails (a network share gone, a stick pulled)
    // answers its error. The runtime then hands out no more samples, and
    // the player, which has no word for an error, hears the track end as it
    // does at the end of the file.
    HRESULT STDMETHODCALLTYPE Read(void *buffer, ULONG size, ULONG *read) override {
        if (read) *read = 0;
        if (!buffer && size) return STG_E_INVALIDPOINTER;
        EnterCriticalSection(&file_->lock);
        DWORD got = 0;
        HRESULT status = ReadLocked(position_, buffer, size, &got);
        position_ += got;
        LeaveCriticalSection(&file_->lock);
        if (read) *read = got;
        if (FAILED(status)) return status;
        return got == size ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *newPosition) override {
        EnterCriticalSection(&file_->lock);
        HRESULT status = MovePosition(move, origin);
        if (SUCCEEDED(status) && newPosition) newPosition->QuadPart = position_;
        LeaveCriticalSection(&file_->lock);
        return status;
    }

    // Names are never given: STATFLAG_NONAME is what runtimes ask for.
    HRESULT STDMETHODCALLTYPE Stat(STATSTG *stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        ZeroMemory(stat, sizeof(*stat));
        uint64_t size;
        if (!Size(&size)) return kFileClosed;
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = size;
        stat->grfMode = STGM_READ | (file_->sharesWriting ? STGM_SHARE_DENY_NONE : STGM_SHARE_DENY_WRITE);
        return S_OK;
    }

    // A reader needs nothing else of a stream.
    HRESULT STDMETHODCALLTYPE Write(const void *, ULONG, ULONG *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream *, ULARGE_INTEGER, ULARGE_INTEGER *, ULARGE_INTEGER *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream **) override { return E_NOTIMPL; }

  private:
    // The handle's one file pointer is shared by every stream over it, the
    // runtime's threads and the plug-in's, so each seek and its read go
    // together under the lock. (A read that names its offset would need no
    // seek, but Wine takes several times longer over it.)
    // *got is 0 on an error.
    HRESULT ReadLocked(uint64_t offset, void *buffer, DWORD size, DWORD *got) {
        *got = 0;
        if (closed_) return kFileClosed;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        HANDLE handle = file_->handle;
        if (!SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) || !ReadFile(handle, buffer, size, got, nullptr)) {
            *got = 0;
            return HRESULT_FROM_WIN32(GetLastError());
        }
        return S_OK;
    }

    HRESULT MovePosition(LARGE_INTEGER move, DWORD origin) {
        if (closed_) return kFileClosed;
        LARGE_INTEGER base = {};
        if (origin == STREAM_SEEK_CUR)
            base.QuadPart = static_cast<LONGLONG>(position_);
        else if (origin == STREAM_SEEK_END && !GetFileSizeEx(file_->handle, &base))
            return HRESULT_FROM_WIN32(GetLastError());
        else if (origin != STREAM_SEEK_SET && origin != STREAM_SEEK_END)
            return STG_E_INVALIDFUNCTION;
        if (move.QuadPart < 0 && -move.QuadPart > base.QuadPart) return STG_E_INVALIDFUNCTION;  // before the start
        position_ = static_cast<ULONGLONG>(base.QuadPart + move.QuadPart);
        return S_OK;
    }

    ~FileStream() {
        CloseFile();
        EnterCriticalSection(&file_->lock);
        bool last = --file_->references == 0;
        LeaveCriticalSection(&file_->lock);
        if (!last) return;
        DeleteCriticalSection(&file_->lock);
        delete file_;
    }

    LONG references_ = 1;
    SharedHandle *const file_;
    bool closed_ = false;  // under file_->lock
    ULONGLONG position_ = 0;
};

namespace {

HANDLE OpenForReading(const WCHAR *name, DWORD sharing) {
    return CreateFileW(name, GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

FileSource NoFileSource() { return FileSource{nullptr}; }

IStream *StreamOf(const FileSource &source) { return source.file; }

FileOpening OpenFileSource(const WCHAR *name, FileSource *source) {
    *source = NoFileSource();
    bool sharesWriting = false;
    HANDLE file = OpenForReading(name, FILE_SHARE_READ | FILE_SHARE_DELETE);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
        // Someone has it open for writing: without sharing that, the file
        // would not play at all.
        sharesWriting = true;
        file = OpenForReading(name, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    }
    if (file == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_INVALID_NAME:
            case ERROR_BAD_PATHNAME:
            case ERROR_FILENAME_EXCED_RANGE:
                return kNoSuchFile;
            default:
                return kFileRefused;
        }
    }
    SharedHandle *shared = new (std::nothrow) SharedHandle{{}, file, sharesWriting, 1, 1};
    source->file = shared ? new (std::nothrow) FileStream(shared) : nullptr;
    if (!source->file) {
        CloseHandle(file);
        delete shared;
        return kFileRefused;
    }
    InitializeCriticalSection(&shared->lock);
    return kFileOpened;
}

DWORD ReadFileSourceAt(const FileSource &source, uint64_t offset, void *buffer, DWORD size) {
    return source.file ? source.file->ReadAt(offset, buffer, size) : 0;
}

FileSource ShareFileSource(const FileSource &source) {
    return FileSource{source.file ? source.file->Share() : nullptr};
}

bool FileSourceSize(const FileSource &source, uint64_t *size) { return source.file && source.file->Size(size); }

size_t ReadFileSourceFor(void *context, uint64_t offset, void *buffer, size_t size) {
    return ReadFileSourceAt(*static_cast<const FileSource *>(context), offset, buffer, static_cast<DWORD>(size));
}

bool ReadAsfFile(const FileSource &source, AsfAttributeFn emit, void *emitContext, AsfHeld *held) {
    *held = AsfHeld();
    uint64_t size;
    if (!FileSourceSize(source, &size)) return false;
    // The reading's buffers are some 18 KB: too much for a player's stack.
    AsfHeaderFile *file = static_cast<AsfHeaderFile *>(malloc(sizeof(AsfHeaderFile)));
    if (!file) return false;
    file->read = ReadFileSourceFor;
    file->readContext = const_cast<FileSource *>(&source);
    file->fileSize = size;
    bool whole = ReadAsfHeaderAndData(file, emit, emitContext, held);
    free(file);
    return whole;
}

bool SameFile(const FileIdentity &a, const FileIdentity &b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow && a.size == b.size &&
           CompareFileTime(&a.written, &b.written) == 0;
}

bool IdentifyFileSource(const FileSource &source, FileIdentity *identity) {
    BY_HANDLE_FILE_INFORMATION facts;
    if (!source.file || !source.file->Identify(&facts)) return false;
    identity->volume = facts.dwVolumeSerialNumber;
    identity->indexHigh = facts.nFileIndexHigh;
    identity->indexLow = facts.nFileIndexLow;
    identity->size = uint64_t{facts.nFileSizeHigh} << 32 | facts.nFileSizeLow;
    identity->written = facts.ftLastWriteTime;
    return true;
}

void CloseFileSource(FileSource *source) {
    if (!source->file) return;
    source->file->CloseFile();
    source->file->Release();
    *source = NoFileSource();
}
