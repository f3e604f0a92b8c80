// Builds the display title of a track from its tags, with the template
// language the module's settings choose.
#pragma once

#include <stddef.h>

#include "info/tag_set.h"
#include "plugin/settings.h"

// Writes the title (kTitleSize bytes) and returns true, or returns false and
// leaves title alone when no title is to be built: the player's template is
// chosen but the player's key cannot be opened, or the choice is unknown.
bool BuildTitle(const ModuleSettings &settings, const TagSet &tags, char *title);

// Bytes of the character that starts with this byte in the ANSI code page,
// for cutting text without splitting a multi-byte character.
size_t AnsiCharWidth(unsigned char firstByte);
