// vivu-host: the Velmor player's side of the input-module interface, as a
// console program (see UsageText in options.cpp).
#include <windows.h>

#include <stdio.h>

#include "commands.h"
#include "options.h"

int main(int argc, char **argv) {
    HostOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        fprintf(stderr, "vivu-host: %s (try vivu-host --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options.command == "help") {
        fputs(UsageText(), stdout);
        return kExitOk;
    }
    // The player's thread has COM ready before any module opens a reader.
    CoInitialize(nullptr);
    int status = kExitUsage;
    if (options.command == "play") status = RunPlay(options);
    if (options.command == "info") status = RunInfo(options);
    if (options.command == "configure") status = RunConfigure(options);
    if (options.command == "about") status = RunAbout(options);
    fflush(stdout);
    CoUninitialize();
    return status;
}
