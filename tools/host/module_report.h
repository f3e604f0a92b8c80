// What the host prints about a module and a file.
#pragma once

#include "player_abi.h"

// The description and the filter block's description/pattern pairs.
void PrintModuleSummary(PlayerModule *module);

// Every field of a filled information record, one "name: value" per line.
void PrintFileInfo(const PlayerFileInfo &info);

// The patterns of the filter block, for telling the user what it plays.
const char *FirstFilterPattern(PlayerModule *module);
