#include "cli/command_line.h"

#include "document/version.h"

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    for (const std::string& arg : args) {
        if (arg == "--cst") {
            cl.carsetSlotOpen = true;
            cl.carsetPath.clear();
        } else if (arg == "--cst-auto") {
            cl.carsetAuto = true;
        } else if (arg == "-o") {
            cl.outputSlotOpen = true;
            cl.outputPath.clear();
        } else if (arg == "-osame") {
            cl.outputSame = true;
        } else if (arg == "--force") {
            cl.force = true;
        } else if (arg == "--format=txt") {
            cl.report.format = ReportFormat::TEXT;
        } else if (arg == "--format=semikv") {
            cl.report.format = ReportFormat::SEMIKV;
        } else if (arg == "--format=json") {
            cl.report.format = ReportFormat::JSON;
        } else if (arg == "--format=csv") {
            cl.report.format = ReportFormat::CSV;
        } else if (arg == "--format=html") {
            cl.report.format = ReportFormat::HTML;
        } else if (arg == "--season") {
            cl.seasonRun = true;
            cl.seasonSlotOpen = true;
            cl.seasonPath.clear();
        } else if (arg == "--site") {
            cl.siteSlotOpen = true;
            cl.sitePath.clear();
        } else if (arg == "--teams") {
            cl.teams = true;
        } else if (arg == "--no-header") {
            cl.report.replayInfo = false;
            cl.report.eventInfo = false;
        } else if (arg == "--convert=yes") {
            cl.convert = ConvertMode::ALWAYS;
        } else if (arg == "--convert=no" || arg == "--no-std-conv") {
            cl.convert = ConvertMode::NEVER;
        } else if (arg == "--laps") {
            cl.report.laps = true;
        } else if (arg == "--archive") {
            cl.archive = true;
        } else if (arg == "-j") {
            cl.jobsSlotOpen = true;
            cl.jobs.clear();
        } else if (arg.starts_with("-j") && arg.size() > 2 && arg[2] >= '0' && arg[2] <= '9') {
            cl.jobs = arg.substr(2);
            cl.jobsSlotOpen = false;
        } else if (arg == "--files-from") {
            cl.filesFrom = true;
            cl.filesFromSlotOpen = true;
            cl.filesFromPath.clear();
        } else if (arg == "--help") {
            cl.stop = CommandLine::Stop::HELP;
            return cl;
        } else if (arg == "--version") {
            cl.stop = CommandLine::Stop::VERSION;
            return cl;
        } else if (cl.jobsSlotOpen) {
            cl.jobs = arg;
            cl.jobsSlotOpen = false;
        } else if (cl.filesFromSlotOpen) {
            cl.filesFromPath = arg;
            cl.filesFromSlotOpen = false;
        } else if (cl.carsetSlotOpen) {
            cl.carsetPath = arg;
            cl.carsetSlotOpen = false;
        } else if (cl.outputSlotOpen) {
            cl.outputPath = arg;
            cl.outputSlotOpen = false;
        } else if (cl.seasonSlotOpen) {
            cl.seasonPath = arg;
            cl.seasonSlotOpen = false;
        } else if (cl.siteSlotOpen) {
            cl.sitePath = arg;
            cl.siteSlotOpen = false;
        } else if (!arg.empty() && arg[0] == '-') {
            cl.stop = CommandLine::Stop::INVALID_OPTION;
            cl.invalidOption = arg;
            return cl;
        } else {
            cl.replay = arg;
            cl.paths.push_back(arg);
        }
    }
    return cl;
}

std::string programName(std::string_view argv0) {
    std::size_t cut = argv0.find_last_of("/\\:");
    return std::string(cut == std::string_view::npos ? argv0 : argv0.substr(cut + 1));
}

std::string usageText(const std::string& program) {
    return "\nUsage: " + program +
           " [OPTION] <REPLAY>\n"
           "Make reports from replay files (.rpy)\n"
           "\n"
           "  --cst <file>       use GEM+ carset (.cst) file for string data\n"
           "  --cst-auto         try to detect and find the correct carset file\n"
           "  -o <output>        output file (UTF-8 encoded)\n"
           "  -osame             output file with same name as replay (.txt extension)\n"
           "  --force            overwrite existing file\n"
           "  --format=txt       output format: text (default)\n"
           "  --format=semikv    output format: semicolon delimited key=value\n"
           "  --format=json      output format: JSON document\n"
           "  --format=csv       output format: CSV table (results, or laps with --laps)\n"
           "  --format=html      output format: web page with tables and charts\n"
           "  --season <file>    championship standings of the rounds in a season file\n"
           "  --site <folder>    with --season: the league's site (pages and data) in a folder\n"
           "  --teams            CSV standings: the teams' table instead of the drivers'\n"
           "  --no-header        do not display replay information\n"
           "  --convert=<yes|no> force codepage conversion (Windows only)\n"
           "  --laps             dump all laptimes of all cars\n"
           "  --archive          many replays and folders at once: flat rows of every\n"
           "                     replay, as JSON Lines or, with -o <folder>, one file per table\n"
           "  -j <threads>       archive: replays read at the same time (default: all cores)\n"
           "  --files-from <file>\n"
           "                     archive: also the replays listed in file, one a line or\n"
           "                     NUL-separated (- for standard input)\n"
           "  --help             display this text and exit\n"
           "  --version          output version information and exit\n";
}

std::string versionText(const std::string& program) {
    return program + " " + programVersion + "\n\n" +
           "Race weekend reports from Grand Prix Legends replays, by the gridtally developers.";
}

std::string osamePath(const std::string& replayPath, ReportFormat format) {
    // The extension separator is the last '.' of the final component, unless
    // it is that component's first character.
    std::size_t stem = replayPath.size();
    for (std::size_t i = replayPath.size(); i-- > 0;) {
        char c = replayPath[i];
        if (c == '\\' || c == '/' || c == ':') break;
        if (c == '.') {
            bool first = i == 0 || replayPath[i - 1] == '\\' || replayPath[i - 1] == '/' || replayPath[i - 1] == ':';
            if (!first) stem = i;
            break;
        }
    }
    const char* extension = format == ReportFormat::JSON   ? ".json"
                            : format == ReportFormat::CSV  ? ".csv"
                            : format == ReportFormat::HTML ? ".html"
                                                           : ".txt";
    return replayPath.substr(0, stem) + extension;
}
