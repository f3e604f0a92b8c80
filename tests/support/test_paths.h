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
// size, the length its header claims, how long ffmpeg's decode of it runs,
// and whether that decode ("ffmpeg") or the runtime's ("runtime") is the
// witness of what it holds.
struct HeldFile {
    std::string name;
    uint32_t size, claimedMs, decodedMs;
    std::string witness;
};
std::vector<HeldFile> HeldFiles();

// True when a length shown is the file's: within 0.3 s of what a decode of
// it gives, or the header's own length within a second of that.
bool ShowsItsLength(uint32_t shownMs, uint32_t claimedMs, uint32_t decodedMs);

// The plug-in DLL of this build, for tests that load it as the player does.
std::string PluginPath();

// The file's bytes, all of them; empty when it cannot be read.
std::string ReadWholeFile(const std::string &path);

// A fresh scratch directory for this test program (created when missing).
std::string ScratchPath(const std::string &name);

// True when nobody holds the file open, a runtime included: it opens for
// writing with no sharing at all.
bool NobodyHasOpen(const std::string &path);
