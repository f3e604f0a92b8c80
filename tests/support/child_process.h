// Test programs run as child processes: the player stand-in, a program's
// own copy for a case that may hang, the bench's second half.
#pragma once

#include <string>
#include <vector>

struct ChildRun {
    int exitCode = -1;  // -1: it did not start, or did not finish in time (it was then ended)
    std::string out;    // what it printed, when captured (line ends as LF)
    std::string err;
};

// The program and its arguments, each quoted.
std::string CommandLine(const std::string &program, const std::vector<std::string> &args);

// Runs the command and waits at most timeoutMs (INFINITE: as long as it
// takes). With capture its output and errors are collected; without, it
// writes to this program's own.
ChildRun RunChild(const std::string &commandLine, unsigned long timeoutMs, bool capture = true);

// This program's own path, for running a copy of itself.
std::string OwnProgramPath();
