// How long a seek takes through the plug-in, to its first Read, against the
// runtime's own SetRange and first GetNextSample, under Wine's runtime.
#pragma once

#include <string>

// Returns a BenchExit status.
int SeekAgainstRuntime(const std::string &mediaDir);
