// Program-wide state, in one place: report switches, command-line options,
// the carset file, the loaded carset and the three consoles.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "console.h"
#include "dini.h"
#include "enums.h"

struct Globals {
    std::map<Flag, bool> reportFlags;
    std::map<std::string, std::vector<std::string>> options;
    std::string cstFile;
    IniSection carsetIni;

    std::unique_ptr<ConsoleInput> stdinConsole;
    std::unique_ptr<ConsoleOutput> stdoutConsole;
    std::unique_ptr<ConsoleOutput> stderrConsole;
    unsigned consoleOutputCodePage = 65001;
    unsigned consoleInputCodePage = 65001;
};

Globals& globals();

// Start values of the report switches (before any argument is looked at).
void setDefaultReportFlags();

// Puts the whole program state back to its start-up values. Tests may point
// the consoles at other streams.
void resetGlobals(std::FILE* in = stdin, std::FILE* out = stdout, std::FILE* err = stderr);
