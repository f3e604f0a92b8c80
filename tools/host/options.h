// The command line of vivu-host, parsed without any Windows API.
#pragma once

#include <string>

struct HostOptions {
    std::string command;         // "play", "info", "configure", "about", "help"
    std::string file;            // the media file (play, info)
    std::string output;          // the WAV file (play)
    std::string dllPath;         // empty: vivu_wma.dll beside the host
    std::string playerTemplate;  // the player's title template to store first
    bool hasPlayerTemplate = false;
    int pressOkAfterMs = -1;     // configure/about: press OK after this long (-1: never)
    bool hasSeek = false;
    int seekMs = 0;
};

// Fills `options`; on a bad command line returns false with `error` set.
bool ParseOptions(int argc, char **argv, HostOptions *options, std::string *error);

// The --help text.
const char *UsageText();
