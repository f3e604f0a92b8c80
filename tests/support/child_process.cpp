#include "child_process.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "test_paths.h"

namespace {

HANDLE CreateCapture(const std::string &path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

// The file's text, with the CR of text-mode line ends taken out.
std::string ReadCapture(const std::string &path) {
    std::string text = ReadWholeFile(path);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

}  // namespace

std::string CommandLine(const std::string &program, const std::vector<std::string> &args) {
    std::string command;
    for (size_t at = 0; at <= args.size(); ++at) {
        const std::string &arg = at ? args[at - 1] : program;
        command += at ? " \"" : "\"";
        for (char c : arg) command += c == '"' ? std::string("\\\"") : std::string(1, c);
        command += '"';
    }
    return command;
}

ChildRun RunChild(const std::string &commandLine, unsigned long timeoutMs, bool capture) {
    const std::string outPath = ScratchPath("child-stdout.txt"), errPath = ScratchPath("child-stderr.txt");
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    HANDLE out = INVALID_HANDLE_VALUE, err = INVALID_HANDLE_VALUE;
    if (capture) {
        out = CreateCapture(outPath);
        err = CreateCapture(errPath);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
    }
    fflush(stdout);
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    if (capture) {
        CloseHandle(out);
        CloseHandle(err);
    }
    ChildRun run;
    if (!started) {
        run.err = "CreateProcess failed for " + commandLine;
        return run;
    }
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.exitCode = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (capture) {
        run.out = ReadCapture(outPath);
        run.err = ReadCapture(errPath);
    }
    return run;
}

std::string OwnProgramPath() {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
    return std::string(self, length < sizeof(self) ? length : 0);
}
