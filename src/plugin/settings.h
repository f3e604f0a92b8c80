// The module's two per-user settings and all of the library's registry use.
//
// HKCU\Software\Corvinta\Velmor\VIVu_Velmor
//   "id3ordial"  REG_BINARY, exactly 1 byte: templateChoice
//   "Trackline"  REG_SZ, the template, stored without a counted terminator
// HKCU\Software\Corvinta\Velmor "TrackTitleTemplate": the player's own
//   title template, read only.
#pragma once

#include <stdint.h>

enum { kTemplateSize = 255 };  // at most 254 characters and a terminator

enum TemplateChoice : uint8_t {
    kUsePlayerTemplate = 0,  // "Use the same options as for ID3 tags"
    kUseOwnTemplate = 1,
};

struct ModuleSettings {
    char titleTemplate[kTemplateSize];
    uint8_t templateChoice;
};

static_assert(sizeof(ModuleSettings) == 256, "template then choice byte");

extern const char kModuleKeyPath[];   // "Software\\Corvinta\\Velmor\\VIVu_Velmor"
extern const char kPlayerKeyPath[];   // "Software\\Corvinta\\Velmor"
extern const char kDefaultTemplate[]; // "%1 - %3"

// Fills settings from the registry, creating the key and its values with the
// defaults where they are missing or unusable.
void LoadSettings(ModuleSettings *settings);

// Writes both values; returns the registry error of opening the key, else of
// the last write (0 on success). Never creates the key.
int32_t SaveSettings(const ModuleSettings *settings);

// The player's title template into buffer (kTemplateSize bytes, always
// terminated; empty when the value cannot be read). False when the player's
// key cannot be opened.
bool ReadPlayerTemplate(char *buffer);
