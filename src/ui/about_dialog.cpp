// The About box.
#include <windows.h>

#include "plugin/module.h"
#include "ui/resource.h"

namespace {

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace

int32_t VIVU_CDECL ShowAbout(InputModule *module) {
    return static_cast<int32_t>(
        DialogBoxParamA(module->instance, MAKEINTRESOURCEA(IDD_ABOUT), module->parentWindow, AboutDialogProc, 0));
}
