// Loading a module DLL the way the player does: LoadLibrary, the export,
// then one call with the library's own handle and the owner window.
#pragma once

#include <windows.h>

#include <string>

#include "player_abi.h"

struct LoadedPlugin {
    HMODULE library;
    PlayerModule *module;
};

// The default module: vivu_wma.dll in the host's own directory.
std::string DefaultPluginPath();

// Loads `path` and gets its module. On failure prints why to stderr and
// returns false (nothing stays loaded).
bool LoadPlugin(const std::string &path, LoadedPlugin *plugin);

// Releases the module through its table and unloads the library.
void UnloadPlugin(LoadedPlugin *plugin);
