// The run driver: from the process's arguments to its exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The process's streams and what the console needs to know about them.
struct ProcessIo {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    unsigned consoleCodePage = 65001;
};

// Runs gridtally on the arguments (argument 0 first) and returns the exit
// status; -1 stands for 255.
int runGridtally(const std::vector<std::string>& args, const ProcessIo& io);

// The process entry: arguments from the system, the standard streams.
int runMain(int argc, char** argv);
