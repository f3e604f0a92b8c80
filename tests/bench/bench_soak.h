// The long soak: thousands of streams and information queries on a real
// file under Wine's runtime, with the process's handles and private bytes
// printed as they go, so a reader can see them level off.
#pragma once

#include <string>

// Returns a BenchExit status.
int SoakOnRealFile(const std::string &mediaDir, int cycles);
