#include "options.h"

#include <stdlib.h>
#include <string.h>

namespace {

bool TakesFile(const std::string &command) { return command == "play" || command == "info"; }

bool ParseMs(const char *text, int *value) {
    char *end = nullptr;
    long parsed = strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 0 || parsed > 0x7fffffffL) return false;
    *value = static_cast<int>(parsed);
    return true;
}

}  // namespace

bool ParseOptions(int argc, char **argv, HostOptions *options, std::string *error) {
    *options = HostOptions();
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (!strcmp(arg, "--help") || !strcmp(arg, "-h") || !strcmp(arg, "/?")) {
            options->command = "help";
            return true;
        }
        if (!strcmp(arg, "-o") || !strcmp(arg, "--dll") || !strcmp(arg, "--seek") ||
            !strcmp(arg, "--player-template") || !strcmp(arg, "--press-ok-after")) {
            if (!hasValue) {
                *error = std::string(arg) + " needs a value";
                return false;
            }
            const char *value = argv[++i];
            if (!strcmp(arg, "-o")) {
                options->output = value;
            } else if (!strcmp(arg, "--dll")) {
                options->dllPath = value;
            } else if (!strcmp(arg, "--press-ok-after")) {
                if (!ParseMs(value, &options->pressOkAfterMs)) {
                    *error = std::string("--press-ok-after wants milliseconds, not '") + value + "'";
                    return false;
                }
            } else if (!strcmp(arg, "--seek")) {
                if (!ParseMs(value, &options->seekMs)) {
                    *error = std::string("--seek wants milliseconds, not '") + value + "'";
                    return false;
                }
                options->hasSeek = true;
            } else {
                options->playerTemplate = value;
                options->hasPlayerTemplate = true;
            }
            continue;
        }
        if (arg[0] == '-' && arg[1] != '\0') {
            *error = std::string("unknown option ") + arg;
            return false;
        }
        if (options->command.empty()) {
            options->command = arg;
        } else if (TakesFile(options->command) && options->file.empty()) {
            options->file = arg;
        } else {
            *error = std::string("unexpected argument '") + arg + "'";
            return false;
        }
    }
    const std::string &command = options->command;
    if (command.empty()) {
        *error = "no command given";
        return false;
    }
    if (!TakesFile(command) && command != "configure" && command != "about") {
        *error = "unknown command '" + command + "'";
        return false;
    }
    if (TakesFile(command) && options->file.empty()) {
        *error = command + " needs a FILE";
        return false;
    }
    if (command != "play" && (options->hasSeek || !options->output.empty())) {
        *error = "-o and --seek belong to play";
        return false;
    }
    if (!TakesFile(command) && options->hasPlayerTemplate) {
        *error = "--player-template belongs to play and info";
        return false;
    }
    if (TakesFile(command) && options->pressOkAfterMs >= 0) {
        *error = "--press-ok-after belongs to configure and about";
        return false;
    }
    if (command == "play" && options->output.empty()) options->output = "out.wav";
    return true;
}

const char *UsageText() {
    return "vivu-host: loads a Velmor input module (a DLL exporting Velmor_GetInputModule2)\n"
           "the way the player does, and drives it from the command line.\n"
           "\n"
           "usage:\n"
           "  vivu-host play FILE [-o OUT.wav] [--seek MS] [--dll PATH] [--player-template TEXT]\n"
           "      prints the module's description, filter list and CanHandle(FILE), queries the\n"
           "      file information, then opens a stream (seeking to MS first when asked) and\n"
           "      writes every chunk it reads into OUT.wav (default out.wav). The WAV header\n"
           "      takes the format the information record gives (44100 Hz, 2 channels, 16 bits\n"
           "      where the record says 0). Ends with the byte count, audio seconds and the\n"
           "      decoding speed as a multiple of real time.\n"
           "  vivu-host info FILE [--dll PATH] [--player-template TEXT]\n"
           "      prints the filled information record.\n"
           "  vivu-host configure [--dll PATH] [--press-ok-after MS]\n"
           "      runs the module's configuration dialog, prints its result and the settings\n"
           "      saved under HKCU\\Software\\Corvinta\\Velmor\\VIVu_Velmor.\n"
           "  vivu-host about [--dll PATH] [--press-ok-after MS]\n"
           "      shows the module's About box and prints its result.\n"
           "\n"
           "options:\n"
           "  --dll PATH              the module to load (default: vivu_wma.dll beside vivu-host)\n"
           "  --player-template TEXT  stores TEXT as the player's title template\n"
           "                          (HKCU\\Software\\Corvinta\\Velmor \"TrackTitleTemplate\")\n"
           "                          before the query\n"
           "  --seek MS               seeks the stream to MS milliseconds before reading\n"
           "  -o OUT.wav              where play writes the audio\n"
           "  --press-ok-after MS     presses OK in the module's dialog after MS milliseconds\n"
           "                          (and again until it closes), for unattended runs\n"
           "\n"
           "exit status: 0 done; 1 bad command line or output not writable; 2 the module cannot\n"
           "be loaded (missing DLL, missing export, null module); 3 the module refuses the file\n"
           "(CanHandle gave 0); 4 no audio (no stream, or the stream read 0 bytes).\n";
}
