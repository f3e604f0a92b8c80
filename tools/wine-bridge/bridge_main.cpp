// The bridge's exports. The DLL is named wmvcore.dll and chosen over Wine's
// builtin one with WINEDLLOVERRIDES=wmvcore=n; it is never used on Windows.
#include "bridge_reader.h"

namespace {

// Wine's builtin runtime creates its reader in winegstreamer.dll.
typedef HRESULT(WINAPI *CreateWineReaderFn)(IUnknown *outer, void **out);

CreateWineReaderFn WineReaderFactory() {
    static CreateWineReaderFn factory;
    static bool searched;
    if (!searched) {
        HMODULE gstreamer = LoadLibraryW(L"winegstreamer.dll");
        if (gstreamer)
            factory = reinterpret_cast<CreateWineReaderFn>(
                reinterpret_cast<void *>(GetProcAddress(gstreamer, "winegstreamer_create_wm_sync_reader")));
        searched = true;
    }
    return factory;
}

}  // namespace

extern "C" HRESULT WINAPI WMCreateSyncReader(IUnknown *, DWORD, IWMSyncReader **reader) {
    if (!reader) return E_POINTER;
    *reader = nullptr;
    CreateWineReaderFn create = WineReaderFactory();
    if (!create) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    void *inner = nullptr;
    HRESULT status = create(nullptr, &inner);
    if (FAILED(status)) return status;
    if (!inner) return E_FAIL;
    *reader = WrapSyncReader(static_cast<IWMSyncReader *>(inner));
    return *reader ? S_OK : E_OUTOFMEMORY;
}

extern "C" LONG __cdecl Bridge_LiveObjects(void) { return InterlockedCompareExchange(&g_liveReaders, 0, 0); }
