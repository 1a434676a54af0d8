// The process entry and the run driver: command line, input checks, output
// choice and the one conversion of a replay into a report.
#pragma once

#include <string>
#include <string_view>

inline constexpr const char* programVersion = "v0.6.4";

// Last path component of argv[0]; an extension such as ".exe" stays.
std::string programName(std::string_view argv0);
std::string usageText(const std::string& program);
std::string versionText(const std::string& program);

// The "-osame" output name: the replay path without its extension, + ".txt".
std::string osamePath(const std::string& replayPath);

// Runs gridtally and returns the process exit status (0 to 255).
int runMain(int argc, char** argv);
