// The archive mode of the command line: many replays in one run.
#pragma once

#include <cstdio>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/run.h"

// Runs the archive that the command line describes and returns the exit
// status: 0 when every replay was read, 1 when some were broken. Usage
// errors throw with their message.
ExitStatus runArchive(const CommandLine& cl, ConsoleOutput& out, MessageOutput& err, std::FILE* in);
