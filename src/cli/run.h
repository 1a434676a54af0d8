// The run driver: from the process's arguments to its exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The process's exit statuses, as the README's table lists them.
enum class ExitStatus {
    OK = 0,
    FAILED = 1,                // no or a broken replay, the output file, any other error
    BAD_CARSET_OR_SEASON = 2,  // the carset or the season file missing or broken
    NO_ARGUMENTS = 3,          // the usage text shown
    NOT_OVERWRITTEN = 4,       // the overwrite question not answered with y
    BAD_OPTION_OR_ACCESS = -1, // an invalid option, a replay that cannot be examined
};

// The process's streams and what the console needs to know about them.
struct ProcessIo {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    unsigned consoleCodePage = 65001;
};

// Runs gridtally on the arguments (argument 0 first) and returns the exit
// status; -1 stands for 255 on POSIX systems.
int runGridtally(const std::vector<std::string>& args, const ProcessIo& io);

// The process entry: arguments from the system, the standard streams.
int runMain(int argc, char** argv);
