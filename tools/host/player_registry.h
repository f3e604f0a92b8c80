// The registry values the player owns or reads back after configuration.
#pragma once

#include <string>

// Stores the player's ID3 title template (HKCU\Software\Corvinta\Velmor,
// "TrackTitleTemplate", REG_SZ). Prints why and returns false on failure.
bool StorePlayerTemplate(const std::string &text);

// Prints "id3ordial" and "Trackline" as the module saved them under
// HKCU\Software\Corvinta\Velmor\VIVu_Velmor.
void PrintSavedSettings();
