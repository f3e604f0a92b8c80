#include "registry_sandbox.h"

#include <string.h>

const char kPlayerKey[] = "Software\\Corvinta\\Velmor";
const char kModuleKey[] = "Software\\Corvinta\\Velmor\\VIVu_Velmor";

namespace {

const char kSavedPlayerKey[] = "Software\\VivuTests\\SavedPlayerKey";

// Copies one key's tree onto another path (created when missing).
bool CopyKey(const char *from, const char *to) {
    HKEY source, target;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) != ERROR_SUCCESS) return false;
    bool copied = RegCreateKeyExA(HKEY_CURRENT_USER, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target,
                                  nullptr) == ERROR_SUCCESS;
    if (copied) {
        copied = RegCopyTreeA(source, nullptr, target) == ERROR_SUCCESS;
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return copied;
}

}  // namespace

StoredValue ReadValue(const char *keyPath, const char *name) {
    StoredValue stored{ERROR_FILE_NOT_FOUND, REG_NONE, {}};
    HKEY key;
    stored.status = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key);
    if (stored.status != ERROR_SUCCESS) return stored;
    DWORD size = 0;
    stored.status = RegQueryValueExA(key, name, nullptr, &stored.type, nullptr, &size);
    if (stored.status == ERROR_SUCCESS) {
        stored.data.assign(size + 8, '\xEE');
        stored.status = RegQueryValueExA(key, name, nullptr, &stored.type,
                                         reinterpret_cast<BYTE *>(&stored.data[0]), &size);
        stored.data.resize(size);
    }
    RegCloseKey(key);
    return stored;
}

std::string ReadText(const char *keyPath, const char *name) {
    StoredValue stored = ReadValue(keyPath, name);
    if (stored.status != ERROR_SUCCESS) return "";
    return std::string(stored.data.c_str(), strnlen(stored.data.c_str(), stored.data.size()));
}

LONG WriteValue(const char *keyPath, const char *name, DWORD type, const void *data, DWORD size) {
    HKEY key;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
    return status;
}

void DeleteValue(const char *keyPath, const char *name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

bool KeyExists(const char *keyPath) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

PlayerKeySandbox::PlayerKeySandbox() : existed_(KeyExists(kPlayerKey)) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSavedPlayerKey);
    if (existed_) CopyKey(kPlayerKey, kSavedPlayerKey);
}

PlayerKeySandbox::~PlayerKeySandbox() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kPlayerKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kPlayerKey);
    if (existed_) CopyKey(kSavedPlayerKey, kPlayerKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kSavedPlayerKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kSavedPlayerKey);
}
