// The per-user registry values the tests arrange and check, and a sandbox
// that gives the player's key back as a test program found it (the Wine
// prefix, and so the registry, is shared by every test program).
#pragma once

#include <windows.h>

#include <string>

// The player's key and the module's key beneath it.
extern const char kPlayerKey[];
extern const char kModuleKey[];

struct StoredValue {
    LONG status;  // ERROR_SUCCESS when the value was read
    DWORD type;
    std::string data;  // the bytes as stored
};

// A value under HKEY_CURRENT_USER.
StoredValue ReadValue(const char *keyPath, const char *name);
// A text value without the terminator the registry may have counted.
std::string ReadText(const char *keyPath, const char *name);

// Creates the key when needed and stores `size` bytes of data.
LONG WriteValue(const char *keyPath, const char *name, DWORD type, const void *data, DWORD size);
void DeleteValue(const char *keyPath, const char *name);
bool KeyExists(const char *keyPath);

// Copies the player's key, everything beneath it included, aside; on
// destruction puts it back exactly (or removes it, if there was none).
class PlayerKeySandbox {
  public:
    PlayerKeySandbox();
    ~PlayerKeySandbox();
    PlayerKeySandbox(const PlayerKeySandbox &) = delete;
    PlayerKeySandbox &operator=(const PlayerKeySandbox &) = delete;

  private:
    bool existed_;
};
