// The built plug-in DLL loaded by path, as the player loads it, and modules
// made by its export.
#pragma once

#include <windows.h>

#include "plugin/abi.h"

// The library, loaded at the first call and kept for the program's life;
// null when it does not load.
HMODULE PluginLibrary();

// A module from the export, given the library's own instance handle and
// parentWindow as the window that owns its dialogs; null when the library
// or its export is missing.
InputModule *NewPluginModule(HWND parentWindow);
