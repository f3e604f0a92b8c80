// vivu-host configure / about: the module's two dialogs.
#include <stdio.h>

#include "commands.h"
#include "dialog_closer.h"
#include "player_registry.h"
#include "plugin_loader.h"

int RunConfigure(const HostOptions &options) {
    LoadedPlugin plugin;
    if (!LoadPlugin(options.dllPath.empty() ? DefaultPluginPath() : options.dllPath, &plugin)) return kExitNoModule;
    if (options.pressOkAfterMs >= 0) StartDialogCloser(options.pressOkAfterMs);
    long status = plugin.module->table->configure(plugin.module);
    StopDialogCloser();
    printf("Configure: %ld%s\n", status, status == 0 ? " (settings saved)" : " (the save failed)");
    UnloadPlugin(&plugin);
    PrintSavedSettings();
    return kExitOk;
}

int RunAbout(const HostOptions &options) {
    LoadedPlugin plugin;
    if (!LoadPlugin(options.dllPath.empty() ? DefaultPluginPath() : options.dllPath, &plugin)) return kExitNoModule;
    if (options.pressOkAfterMs >= 0) StartDialogCloser(options.pressOkAfterMs);
    long long result = plugin.module->table->showAbout(plugin.module);
    StopDialogCloser();
    printf("ShowAbout: %lld\n", result);
    UnloadPlugin(&plugin);
    return kExitOk;
}
