// The command line as a value: what to read, what to write and how.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "report/report.h"

struct CommandLine {
    std::optional<std::string> replay;
    // An option that takes a path ("--cst", "-o") opens a slot that the next
    // free argument fills; a slot left open at the end counts as empty.
    std::string carsetPath;
    bool carsetSlotOpen = false;
    bool carsetAuto = false;
    std::string outputPath;
    bool outputSlotOpen = false;
    bool outputSame = false;
    // "--season" makes the run one of a season's standings and opens a slot
    // for the season file.
    bool seasonRun = false;
    std::string seasonPath;
    bool seasonSlotOpen = false;
    std::string sitePath; // "--site": the season's site in this folder
    bool siteSlotOpen = false;
    bool teams = false;
    // "--archive": many replays and folders in one run, as flat rows. Its
    // inputs are every free argument; "-j" and "--files-from" open slots.
    bool archive = false;
    std::vector<std::string> paths;
    std::string jobs;
    bool jobsSlotOpen = false;
    std::string filesFromPath;
    bool filesFromSlotOpen = false;
    bool filesFrom = false;
    bool force = false;
    ConvertMode convert = ConvertMode::AUTO;
    ReportOptions report;

    // Where the arguments stopped the run before any work: at "--help",
    // "--version" or an invalid option.
    enum class Stop { NONE, HELP, VERSION, INVALID_OPTION };
    Stop stop = Stop::NONE;
    std::string invalidOption;

    // The slots' values; empty when not given or left open.
    std::string carset() const { return carsetSlotOpen ? std::string() : carsetPath; }
    std::string output() const { return outputSlotOpen ? std::string() : outputPath; }
    std::string season() const { return seasonSlotOpen ? std::string() : seasonPath; }
    std::string site() const { return siteSlotOpen ? std::string() : sitePath; }
};

// Applies the arguments (without the program name) in order, up to the
// first that stops the run.
CommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usageText(const std::string& program);
std::string versionText(const std::string& program);
// Last path component of argv[0]; an extension such as ".exe" stays.
std::string programName(std::string_view argv0);
// The "-osame" output name: the input path (a replay or a season file)
// without its extension, + the format's: ".json", ".csv", ".html", else
// ".txt".
std::string osamePath(const std::string& inputPath, ReportFormat format);
