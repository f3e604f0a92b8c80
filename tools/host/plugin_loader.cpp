#include "plugin_loader.h"

#include <stdio.h>

namespace {

std::string SystemMessage(DWORD error) {
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, sizeof(text), nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
        text[--length] = '\0';
    char code[32];
    snprintf(code, sizeof(code), "error %lu", static_cast<unsigned long>(error));
    return length ? std::string(text) + " (" + code + ")" : std::string(code);
}

}  // namespace

std::string DefaultPluginPath() {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string dir(self, length < sizeof(self) ? length : 0);
    size_t slash = dir.find_last_of("\\/");
    dir = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
    return dir + "vivu_wma.dll";
}

bool LoadPlugin(const std::string &path, LoadedPlugin *plugin) {
    plugin->library = nullptr;
    plugin->module = nullptr;
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        fprintf(stderr, "vivu-host: cannot load the module %s: %s\n", path.c_str(),
                SystemMessage(GetLastError()).c_str());
        return false;
    }
    PlayerGetModuleFn getModule =
        reinterpret_cast<PlayerGetModuleFn>(reinterpret_cast<void *>(GetProcAddress(library, PLAYER_EXPORT_NAME)));
    if (!getModule) {
        fprintf(stderr, "vivu-host: %s has no export named %s; it is not a Velmor input module\n", path.c_str(),
                PLAYER_EXPORT_NAME);
        FreeLibrary(library);
        return false;
    }
    // Like the player: the library's own handle and the window that owns
    // the module's dialogs (the console's, when there is one).
    PlayerModule *module = getModule(library, GetConsoleWindow());
    if (!module) {
        fprintf(stderr, "vivu-host: %s returned no module (null)\n", PLAYER_EXPORT_NAME);
        FreeLibrary(library);
        return false;
    }
    if (!module->table) {
        fprintf(stderr, "vivu-host: the module's operation table is null\n");
        FreeLibrary(library);
        return false;
    }
    plugin->library = library;
    plugin->module = module;
    return true;
}

void UnloadPlugin(LoadedPlugin *plugin) {
    if (plugin->module) plugin->module->table->release(plugin->module);
    if (plugin->library) FreeLibrary(plugin->library);
    plugin->module = nullptr;
    plugin->library = nullptr;
}
