// Where the test programs find their media and the plug-in, as Wine paths,
// the one reader of whole files, and whether anyone holds a file open.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// A file of the media that ./vivu makes with ffmpeg before the tests run
// (directory from the VIVU_MEDIA environment variable).
std::string MediaPath(const std::string &name);

// A file whose header and data disagree, from the media's held.txt: its
// size, the length its header claims and the length it is to show.
struct HeldFile {
    std::string name;
    uint32_t size, claimedMs, shownMs;
};
std::vector<HeldFile> HeldFiles();

// The plug-in DLL of this build, for tests that load it as the player does.
std::string PluginPath();

// The file's bytes, all of them; empty when it cannot be read.
std::string ReadWholeFile(const std::string &path);

// A fresh scratch directory for this test program (created when missing).
std::string ScratchPath(const std::string &name);

// True when nobody holds the file open, a runtime included: it opens for
// writing with no sharing at all.
bool NobodyHasOpen(const std::string &path);
