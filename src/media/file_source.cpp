#include "media/file_source.h"

#include <new>

namespace {

// What the stream's calls answer once its owner has closed the file.
const HRESULT kFileClosed = HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);

// A read-only IStream over the handle. The runtime may call it from a thread
// of its own, and a runtime that keeps a reference may call it after the
// owner closed the file: the lock keeps the handle from closing under a read
// and the reads of both threads apart.
class FileStream final : public IStream {
  public:
    explicit FileStream(HANDLE file) : file_(file) { InitializeCriticalSection(&lock_); }

    // Reads at an offset; 0 once the file is closed.
    DWORD ReadAt(uint64_t offset, void *buffer, DWORD size) {
        EnterCriticalSection(&lock_);
        DWORD got = ReadLocked(offset, buffer, size);
        LeaveCriticalSection(&lock_);
        return got;
    }

    // False once the file is closed.
    bool Size(uint64_t *size) {
        EnterCriticalSection(&lock_);
        LARGE_INTEGER bytes;
        bool known = file_ != INVALID_HANDLE_VALUE && GetFileSizeEx(file_, &bytes);
        LeaveCriticalSection(&lock_);
        if (known) *size = static_cast<uint64_t>(bytes.QuadPart);
        return known;
    }

    void CloseFile() {
        EnterCriticalSection(&lock_);
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        LeaveCriticalSection(&lock_);
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

    HRESULT STDMETHODCALLTYPE Read(void *buffer, ULONG size, ULONG *read) override {
        if (read) *read = 0;
        if (!buffer && size) return STG_E_INVALIDPOINTER;
        EnterCriticalSection(&lock_);
        HRESULT status = kFileClosed;
        if (file_ != INVALID_HANDLE_VALUE) {
            ULONG got = ReadLocked(position_, buffer, size);
            position_ += got;
            if (read) *read = got;
            status = got == size ? S_OK : S_FALSE;
        }
        LeaveCriticalSection(&lock_);
        return status;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER *newPosition) override {
        EnterCriticalSection(&lock_);
        HRESULT status = MovePosition(move, origin);
        if (SUCCEEDED(status) && newPosition) newPosition->QuadPart = position_;
        LeaveCriticalSection(&lock_);
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
        stat->grfMode = STGM_READ | STGM_SHARE_DENY_WRITE;
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
    // The handle's one file pointer is shared by the runtime's thread and the
    // plug-in's, so each seek and its read go together under the lock. (A
    // read that names its offset would need no seek, but Wine takes several
    // times longer over it.)
    DWORD ReadLocked(uint64_t offset, void *buffer, DWORD size) {
        DWORD got = 0;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (file_ == INVALID_HANDLE_VALUE || !SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
            !ReadFile(file_, buffer, size, &got, nullptr))
            return 0;
        return got;
    }

    HRESULT MovePosition(LARGE_INTEGER move, DWORD origin) {
        if (file_ == INVALID_HANDLE_VALUE) return kFileClosed;
        LARGE_INTEGER base = {};
        if (origin == STREAM_SEEK_CUR)
            base.QuadPart = static_cast<LONGLONG>(position_);
        else if (origin == STREAM_SEEK_END && !GetFileSizeEx(file_, &base))
            return HRESULT_FROM_WIN32(GetLastError());
        else if (origin != STREAM_SEEK_SET && origin != STREAM_SEEK_END)
            return STG_E_INVALIDFUNCTION;
        if (move.QuadPart < 0 && -move.QuadPart > base.QuadPart) return STG_E_INVALIDFUNCTION;  // before the start
        position_ = static_cast<ULONGLONG>(base.QuadPart + move.QuadPart);
        return S_OK;
    }

    ~FileStream() {
        CloseFile();
        DeleteCriticalSection(&lock_);
    }

    LONG references_ = 1;
    CRITICAL_SECTION lock_;
    HANDLE file_;
    ULONGLONG position_ = 0;
};

FileStream *StreamOf(const FileSource &source) { return static_cast<FileStream *>(source.stream); }

}  // namespace

FileSource NoFileSource() { return FileSource{nullptr}; }

bool OpenFileSource(const WCHAR *name, FileSource *source) {
    *source = NoFileSource();
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    source->stream = new (std::nothrow) FileStream(file);
    if (!source->stream) CloseHandle(file);
    return source->stream != nullptr;
}

DWORD ReadFileSourceAt(const FileSource &source, uint64_t offset, void *buffer, DWORD size) {
    return source.stream ? StreamOf(source)->ReadAt(offset, buffer, size) : 0;
}

bool FileSourceSize(const FileSource &source, uint64_t *size) { return source.stream && StreamOf(source)->Size(size); }

void CloseFileSource(FileSource *source) {
    if (!source->stream) return;
    StreamOf(*source)->CloseFile();
    source->stream->Release();
    *source = NoFileSource();
}
