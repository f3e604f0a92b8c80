// The long soak: thousands of streams and information queries on a real
// file under Wine's runtime, in rounds with the same runtime calls made
// directly, with the process's handles and both sides' private bytes printed
// round by round, so a reader can see them level off.
#pragma once

#include <string>

// cycles counts both sides. Returns a BenchExit status.
int SoakOnRealFile(const std::string &mediaDir, int cycles);
