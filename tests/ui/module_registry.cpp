#include "module_registry.h"

#include <windows.h>

namespace module_registry {

namespace {

const char kKeyPath[] = "Software\\Corvinta\\Velmor\\VIVu_Velmor";

void WriteRaw(const char *name, DWORD type, const std::string &data) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

}  // namespace

void WriteChoice(uint8_t choice) { WriteRaw("id3ordial", REG_BINARY, std::string(1, static_cast<char>(choice))); }

void WriteTemplate(const std::string &text) { WriteRaw("Trackline", REG_SZ, text); }

bool ReadValue(const char *name, unsigned long *type, std::string *data) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD valueType = 0, size = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &valueType, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data->assign(size, '\0');
        status = RegQueryValueExA(key, name, nullptr, &valueType, reinterpret_cast<BYTE *>(&(*data)[0]), &size);
        data->resize(size);
    }
    RegCloseKey(key);
    *type = valueType;
    return status == ERROR_SUCCESS;
}

void DeleteValue(const char *name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

void DeleteKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kKeyPath); }

bool KeyExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Read in the body: the strings are declared after the flags, so an
// initialiser list would write into them before they exist.
Snapshot::Snapshot() : keyExisted_(KeyExists()), choiceType_(0), templateType_(0) {
    hasChoice_ = ReadValue("id3ordial", &choiceType_, &choice_);
    hasTemplate_ = ReadValue("Trackline", &templateType_, &template_);
}

Snapshot::~Snapshot() {
    DeleteKey();
    if (!keyExisted_) return;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (hasChoice_) WriteRaw("id3ordial", choiceType_, choice_);
    if (hasTemplate_) WriteRaw("Trackline", templateType_, template_);
    RegCloseKey(key);
}

}  // namespace module_registry
