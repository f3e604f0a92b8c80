// vivu-host info: the filled information record of one file.
#include <stdio.h>
#include <string.h>

#include "commands.h"
#include "module_report.h"
#include "player_registry.h"
#include "plugin_loader.h"

int RunInfo(const HostOptions &options) {
    if (options.hasPlayerTemplate && !StorePlayerTemplate(options.playerTemplate)) return kExitUsage;
    LoadedPlugin plugin;
    if (!LoadPlugin(options.dllPath.empty() ? DefaultPluginPath() : options.dllPath, &plugin)) return kExitNoModule;
    PlayerModule *module = plugin.module;
    PrintModuleSummary(module);
    printf("CanHandle: %ld\n", static_cast<long>(module->table->canHandle(module, options.file.c_str())));
    PlayerFileInfo info;
    memset(&info, 0, sizeof(info));
    long result = module->table->getFileInfo(module, options.file.c_str(), 0, &info);
    printf("GetFileInfo: %ld\n", result);
    PrintFileInfo(info);
    UnloadPlugin(&plugin);
    return kExitOk;
}
