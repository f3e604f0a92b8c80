// P4: the plug-in's information query against the runtime's own
// create+open+enumerate+close, on a 3-minute file and on one whose header
// carries a 2 MB picture.
#pragma once

#include <string>

// A BenchExit status.
int InfoAgainstRuntime(const std::string &mediaDir);

// The library scan (bench_scan.cpp): GetFileInfo on every file of the media
// folder against reading what a query needs of each. A BenchExit status.
int LibraryScanAgainstReads(const std::string &mediaDir);
