#include "player_registry.h"

#include <windows.h>

#include <stdio.h>

namespace {

const char kPlayerKey[] = "Software\\Corvinta\\Velmor";
const char kModuleKey[] = "Software\\Corvinta\\Velmor\\VIVu_Velmor";

const char *TypeName(DWORD type) {
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    default: return "other type";
    }
}

void PrintValue(HKEY key, const char *name, bool asText) {
    BYTE data[1024];
    DWORD size = sizeof(data), type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    if (status != ERROR_SUCCESS) {
        printf("%s: (not readable, error %ld)\n", name, status);
        return;
    }
    if (asText) {
        // The stored text need not carry its terminator (and the ANSI view
        // of a text value may count one that is not stored), so no size.
        printf("%s: %s \"%.*s\"\n", name, TypeName(type), static_cast<int>(size), reinterpret_cast<const char *>(data));
        return;
    }
    printf("%s: %s, %lu bytes,", name, TypeName(type), static_cast<unsigned long>(size));
    for (DWORD i = 0; i < size; ++i) printf(" %02X", data[i]);
    printf("\n");
}

}  // namespace

bool StorePlayerTemplate(const std::string &text) {
    HKEY key;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kPlayerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(key, "TrackTitleTemplate", 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                                static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        fprintf(stderr, "vivu-host: cannot store the player's title template (error %ld)\n", status);
        return false;
    }
    printf("player template: \"%s\"\n", text.c_str());
    return true;
}

void PrintSavedSettings() {
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, kModuleKey, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        printf("saved settings: none (HKCU\\%s cannot be opened, error %ld)\n", kModuleKey, status);
        return;
    }
    PrintValue(key, "id3ordial", false);
    PrintValue(key, "Trackline", true);
    RegCloseKey(key);
}
