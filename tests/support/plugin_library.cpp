#include "plugin_library.h"

#include "test_paths.h"

HMODULE PluginLibrary() {
    static HMODULE library = LoadLibraryA(PluginPath().c_str());
    return library;
}

InputModule *NewPluginModule(HWND parentWindow) {
    if (!PluginLibrary()) return nullptr;
    GetInputModuleFn getModule = reinterpret_cast<GetInputModuleFn>(
        reinterpret_cast<void *>(GetProcAddress(PluginLibrary(), "Velmor_GetInputModule2")));
    return getModule ? getModule(PluginLibrary(), parentWindow) : nullptr;
}
