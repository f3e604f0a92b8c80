// The module object the player gets from the export, and its table.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include "plugin/abi.h"
#include "plugin/settings.h"

struct InputModule {
    const ModuleOps *ops;       // first word: the player calls through it
    IWMSyncReader *reader;      // always null: each query keeps its reader to itself
    IWMHeaderInfo *headerInfo;  // always null, likewise its header view
    HRESULT lastStatus;         // latest reader call made for this module; never acted on
    HINSTANCE instance;         // the dialogs' resources come from here
    HWND parentWindow;          // owner of both dialogs
    ModuleSettings settings;
};

extern "C" __declspec(dllexport) InputModule *VIVU_CDECL Velmor_GetInputModule2(HINSTANCE instance,
                                                                                HWND parentWindow);

// Entries that live beside their subsystems.
int32_t VIVU_CDECL GetFileInfo(InputModule *module, const char *fileName, int32_t reserved, FileInfo *info);
int32_t VIVU_CDECL Configure(InputModule *module);
int32_t VIVU_CDECL ShowAbout(InputModule *module);
