// Direct access to the module's per-user key, for arranging and checking
// what the plug-in reads and writes.
//   HKCU\Software\Corvinta\Velmor\VIVu_Velmor
//     "id3ordial"  REG_BINARY, 1 byte
//     "Trackline"  REG_SZ, stored without a counted terminator
#pragma once

#include <stdint.h>

#include <string>

namespace module_registry {

// Creates the key if needed and writes the value.
void WriteChoice(uint8_t choice);
void WriteTemplate(const std::string &text);  // byte count = text length

// The raw bytes and type of a value; false when the value (or key) is missing.
bool ReadValue(const char *name, unsigned long *type, std::string *data);

void DeleteValue(const char *name);
void DeleteKey();
bool KeyExists();

// Keeps whatever the key held before the test program ran and puts it back
// at the end, so other programs sharing the Wine prefix see it unchanged.
class Snapshot {
  public:
    Snapshot();
    ~Snapshot();

  private:
    bool keyExisted_;
    bool hasChoice_, hasTemplate_;
    unsigned long choiceType_, templateType_;
    std::string choice_, template_;
};

}  // namespace module_registry
