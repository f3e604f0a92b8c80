// The configuration dialog: the choice between the player's title template
// and the module's own, and the module's own template text.
#include <windows.h>

#include "plugin/module.h"
#include "ui/resource.h"

namespace {

// The dialog edits the module's settings in place through these addresses;
// it keeps no copy of its own.
struct SettingsFields {
    char *titleTemplate;
    uint8_t *templateChoice;
};

void EnableTemplateControls(HWND dialog, bool enable) {
    EnableWindow(GetDlgItem(dialog, IDC_TEMPLATE_EDIT), enable);
    for (int id = IDC_FIRST_LEGEND; id <= IDC_LAST_LEGEND; ++id) {
        HWND control = GetDlgItem(dialog, id);
        if (control) EnableWindow(control, enable);
    }
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    SettingsFields *fields = reinterpret_cast<SettingsFields *>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            fields = reinterpret_cast<SettingsFields *>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            // What the user can type is exactly what OK can store.
            SendDlgItemMessageA(dialog, IDC_TEMPLATE_EDIT, EM_LIMITTEXT, kTemplateSize - 1, 0);
            SetDlgItemTextA(dialog, IDC_TEMPLATE_EDIT, fields->titleTemplate);
            if (*fields->templateChoice == kUsePlayerTemplate) {
                CheckDlgButton(dialog, IDC_USE_PLAYER_TEMPLATE, BST_CHECKED);
                EnableTemplateControls(dialog, false);
            }
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_USE_PLAYER_TEMPLATE: {
                    // Applied at once: it survives Cancel.
                    bool usePlayer = IsDlgButtonChecked(dialog, IDC_USE_PLAYER_TEMPLATE) == BST_CHECKED;
                    *fields->templateChoice = usePlayer ? kUsePlayerTemplate : kUseOwnTemplate;
                    EnableTemplateControls(dialog, !usePlayer);
                    return FALSE;
                }
                case IDOK:
                    GetDlgItemTextA(dialog, IDC_TEMPLATE_EDIT, fields->titleTemplate, kTemplateSize);
                    EndDialog(dialog, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace

// The contract is ModuleOps::Configure's (plugin/abi.h).
int32_t VIVU_CDECL Configure(InputModule *module) {
    SettingsFields fields = {module->settings.titleTemplate, &module->settings.templateChoice};
    DialogBoxParamA(module->instance, MAKEINTRESOURCEA(IDD_CONFIGURE), module->parentWindow, ConfigDialogProc,
                    reinterpret_cast<LPARAM>(&fields));
    return SaveSettings(&module->settings);
}
