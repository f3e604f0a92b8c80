// The host's commands; each returns the process exit status.
#pragma once

#include "options.h"

enum HostExit {
    kExitOk = 0,
    kExitUsage = 1,       // bad command line, or the output cannot be written
    kExitNoModule = 2,    // the DLL, its export or its module is missing
    kExitRefused = 3,     // CanHandle said no
    kExitNoAudio = 4,     // no stream, or a stream that read 0 bytes
};

int RunPlay(const HostOptions &options);
int RunInfo(const HostOptions &options);
int RunConfigure(const HostOptions &options);
int RunAbout(const HostOptions &options);
