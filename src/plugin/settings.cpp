#include "plugin/settings.h"

#include <windows.h>
#include <string.h>

const char kModuleKeyPath[] = "Software\\Corvinta\\Velmor\\VIVu_Velmor";
const char kPlayerKeyPath[] = "Software\\Corvinta\\Velmor";
const char kDefaultTemplate[] = "%1 - %3";

namespace {

const char kChoiceValue[] = "id3ordial";
const char kTemplateValue[] = "Trackline";
const char kPlayerTemplateValue[] = "TrackTitleTemplate";

LONG WriteChoice(HKEY key, uint8_t choice) {
    return RegSetValueExA(key, kChoiceValue, 0, REG_BINARY, &choice, 1);
}

// Stored settings count no terminator in "Trackline": keep writing it so.
LONG WriteTemplate(HKEY key, const char *text) {
    return RegSetValueExA(key, kTemplateValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                          static_cast<DWORD>(strlen(text)));
}

bool ReadChoice(HKEY key, uint8_t *choice) {
    BYTE value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key, kChoiceValue, nullptr, nullptr, &value, &size) != ERROR_SUCCESS) return false;
    if (size != 1) return false;  // an empty value is as unusable as a long one
    *choice = value;
    return true;
}

enum TypeRule { kAnyType, kTextTypeOnly };

// Reads a text value of at most kTemplateSize bytes into buffer; the text ends
// at its first zero or at the end of the data, and keeps at most 254 bytes.
LONG ReadText(HKEY key, const char *name, TypeRule rule, char *buffer) {
    char data[kTemplateSize];
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data), &size);
    if (status != ERROR_SUCCESS) return status;
    if (rule == kTextTypeOnly && type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    if (size > kTemplateSize - 1) size = kTemplateSize - 1;
    size_t length = strnlen(data, size);
    memcpy(buffer, data, length);
    buffer[length] = '\0';
    return ERROR_SUCCESS;
}

void CreateWithDefaults(ModuleSettings *settings) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kModuleKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;  // the defaults stay in force for the module's life
    WriteChoice(key, settings->templateChoice);
    WriteTemplate(key, settings->titleTemplate);
    RegCloseKey(key);
}

}  // namespace

void LoadSettings(ModuleSettings *settings) {
    memset(settings, 0, sizeof(*settings));
    strcpy(settings->titleTemplate, kDefaultTemplate);
    settings->templateChoice = kUsePlayerTemplate;

    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kModuleKeyPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        // Values the module cannot use are replaced by what it uses instead.
        if (!ReadChoice(key, &settings->templateChoice)) WriteChoice(key, settings->templateChoice);
        if (ReadText(key, kTemplateValue, kTextTypeOnly, settings->titleTemplate) != ERROR_SUCCESS)
            WriteTemplate(key, settings->titleTemplate);
        RegCloseKey(key);
    } else if (RegOpenKeyExA(HKEY_CURRENT_USER, kModuleKeyPath, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        // A key the user may read but not change still holds the user's settings.
        ReadChoice(key, &settings->templateChoice);
        ReadText(key, kTemplateValue, kTextTypeOnly, settings->titleTemplate);
        RegCloseKey(key);
    } else {
        CreateWithDefaults(settings);
    }
}

int32_t SaveSettings(const ModuleSettings *settings) {
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, kModuleKeyPath, 0, KEY_WRITE, &key);
    if (status != ERROR_SUCCESS) return status;
    WriteChoice(key, settings->templateChoice);
    status = WriteTemplate(key, settings->titleTemplate);
    RegCloseKey(key);
    return status;
}

bool ReadPlayerTemplate(char *buffer) {
    buffer[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPlayerKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    // The player's value is taken as text whatever its registry type.
    if (ReadText(key, kPlayerTemplateValue, kAnyType, buffer) != ERROR_SUCCESS) buffer[0] = '\0';
    RegCloseKey(key);
    return true;
}
