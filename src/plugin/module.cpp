#include "plugin/module.h"

#include <stdlib.h>

#include "media/decode_stream.h"
#include "wine/retired_readers.h"
#include "plugin/file_name.h"

namespace {

// The name the player lists, as players and users have always known it;
// the release number itself is in the DLL's version resource.
const char kDescription[] = "DOR Odiride v0.5";
// One description/pattern pair, laid out as the common file dialogs want it.
const char kFilterText[] = "WMA data\0*.WMA\0";

const char *VIVU_CDECL GetDescription(void) { return kDescription; }

const char *VIVU_CDECL GetFilterText(void) { return kFilterText; }

void VIVU_CDECL DoNothing(void) {}

int32_t VIVU_CDECL CanHandle(InputModule *, const char *fileName) { return IsPlayableName(fileName) ? 1 : 0; }

// Streams are independent objects and stay usable after this. The readers
// closed streams left to be closed later are given a moment to close
// before it returns (retired_readers.h); a worker still closing one keeps
// the library loaded itself. Here, never while it unloads, under the
// loader's lock, where that worker could not end.
void VIVU_CDECL Release(InputModule *module) {
    FinishRetiredReaders();
    free(module);
}

const ModuleOps kModuleOps = {
    GetDescription, OpenStream, GetFileInfo, DoNothing, CanHandle,
    GetFilterText,  Configure,  ShowAbout,   Release,
};

}  // namespace

InputModule *VIVU_CDECL Velmor_GetInputModule2(HINSTANCE instance, HWND parentWindow) {
    InputModule *module = static_cast<InputModule *>(calloc(1, sizeof(InputModule)));
    if (!module) return nullptr;
    module->ops = &kModuleOps;
    module->instance = instance;
    module->parentWindow = parentWindow;
    LoadSettings(&module->settings);
    return module;
}
