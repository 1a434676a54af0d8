#include "gridtally.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "console.h"
#include "data.h"
#include "globals.h"
#include "mklib.h"
#include "platform/platform.h"
#include "report.h"
#include "rpylib.h"

namespace {

// A slot ("--cst", "-o") is closed, or open and waiting for the next free
// argument; it holds the last argument that filled it.
struct Slot {
    bool open = false;
    std::string value;

    void openSlot() {
        open = true;
        value.clear();
    }
    void fill(const std::string& arg) {
        value = arg;
        open = false;
    }
};

struct CommandLine {
    std::optional<std::string> replay;
    Slot carset;
    Slot output;
};

void addOption(const std::string& key) { globals().options[key]; }

// Applies the arguments in order. Returns an exit status when an option ends
// the run where it stands.
std::optional<int> parseArguments(const std::vector<std::string>& args, const std::string& program,
                                  CommandLine& cl) {
    Globals& g = globals();
    for (const std::string& arg : args) {
        if (arg == "--cst") {
            cl.carset.openSlot();
        } else if (arg == "--cst-auto") {
            addOption("cst-auto");
        } else if (arg == "-o") {
            cl.output.openSlot();
        } else if (arg == "-osame") {
            addOption("osame");
        } else if (arg == "--force") {
            addOption("force");
        } else if (arg == "--format=txt") {
            g.options["format"].push_back("txt");
        } else if (arg == "--format=semikv") {
            g.options["format"].push_back("semikv");
        } else if (arg == "--no-header") {
            g.reportFlags[Flag::REPLAY_INFO] = false;
            g.reportFlags[Flag::EVENT_INFO] = false;
        } else if (arg == "--convert=yes") {
            stdoutConsole().mode(ConvertMode::ALWAYS);
            stderrConsole().mode(ConvertMode::ALWAYS);
        } else if (arg == "--convert=no" || arg == "--no-std-conv") {
            stdoutConsole().mode(ConvertMode::NEVER);
            stderrConsole().mode(ConvertMode::NEVER);
        } else if (arg == "--laps") {
            g.reportFlags[Flag::LAPS] = true;
        } else if (arg == "--help") {
            stdoutConsole().writeln(usageText(program));
            return 0;
        } else if (arg == "--version") {
            stdoutConsole().writeln(versionText(program));
            return 0;
        } else if (cl.carset.open) {
            cl.carset.fill(arg);
        } else if (cl.output.open) {
            cl.output.fill(arg);
        } else if (!arg.empty() && arg[0] == '-') {
            stderrConsole().writefln("invalid option '%s'", arg);
            stdoutConsole().writeln(usageText(program));
            return -1;
        } else {
            cl.replay = arg;
        }
    }
    return std::nullopt;
}

// Asks before an existing output file is overwritten; false when declined.
bool confirmOverwrite(const std::string& outputPath) {
    stderrConsole().writef("Output file %s already exists. Overwrite ? (Y/N): ", outputPath);
    int c = std::fgetc(stdin);
    return c == 'y' || c == 'Y';
}

std::unique_ptr<RpyFile> openReplay(const std::string& replayPath) {
    try {
        return std::make_unique<RpyFile>(replayPath);
    } catch (const platform::FileError& e) {
        // The path could not even be examined.
        fatalError(-1, " accessing file ", e.what());
    }
}

// The last "--format" wins; text without any.
OutputFormat chosenFormat() {
    const auto& options = globals().options;
    auto formats = options.find("format");
    if (formats == options.end() || formats->second.empty()) return OutputFormat::TXT;
    return formats->second.back() == "semikv" ? OutputFormat::SEMIKV : OutputFormat::TXT;
}

// Reads the replay, builds its game data and turns it into the report text.
std::string convertReplay(const std::string& replayPath) {
    std::unique_ptr<RpyFile> rpy = openReplay(replayPath);
    rpy->checkHeader();
    std::unique_ptr<Data> data = create(rpy->game());
    if (!data) throw std::runtime_error("Not implemented");
    data->build(*rpy);
    return Report(*data, chosenFormat()).toString();
}

void writeReport(const std::string& text, const std::string& outputPath) {
    if (outputPath.empty()) {
        ConsoleOutput& out = stdoutConsole();
        std::clearerr(out.stream());
        errno = 0;
        out.writeText(text);
        // A report lost on its way out (a full disk, say) is no success.
        if (std::ferror(out.stream())) {
            if (errno == 0) errno = EIO;
            throw std::runtime_error("Write to standard output failed: " + platform::lastErrorText());
        }
        return;
    }
    stderrConsole().writefln("Writing output to file %s", platform::absolutePath(outputPath));
    platform::writeTextFile(outputPath, text);
}

int run(const std::vector<std::string>& args, const std::string& program) {
    Globals& g = globals();
    setDefaultReportFlags();
    platform::widenConsole();

    if (args.empty()) {
        stdoutConsole().writeln(usageText(program));
        return 3;
    }
    CommandLine cl;
    if (auto status = parseArguments(args, program, cl)) return *status;

    if (!cl.replay) fatalError(1, "need replay file as parameter");
    const std::string& replay = *cl.replay;
    if (!platform::exists(replay) || platform::isDirectory(replay))
        fatalError(1, "cannot read %s: no such file", replay);

    std::string carset = cl.carset.open ? std::string() : cl.carset.value;
    if (!carset.empty() && (!platform::exists(carset) || platform::isDirectory(carset)))
        fatalError(2, "cannot read %s: no such file", carset);
    g.cstFile = carset;

    std::string outputPath = cl.output.open ? std::string() : cl.output.value;
    if (outputPath.empty() && g.options.count("osame")) outputPath = osamePath(replay);
    // Refused before the question: no answer could make it right.
    if (!outputPath.empty() && platform::sameFile(outputPath, replay))
        fatalError(1, "output file %s is the replay itself", outputPath);
    if (!outputPath.empty() && platform::exists(outputPath) && !g.options.count("force")) {
        if (!confirmOverwrite(outputPath)) return 4;
    }

    std::string text = convertReplay(replay);
    writeReport(text, outputPath);
    return 0;
}

} // namespace

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
           "  --no-header        do not display replay information\n"
           "  --convert=<yes|no> force codepage conversion (Windows only)\n"
           "  --laps             dump all laptimes of all cars\n"
           "  --help             display this text and exit\n"
           "  --version          output version information and exit\n";
}

std::string versionText(const std::string& program) {
    return program + " " + programVersion + "\n\n" +
           "Race weekend reports from Grand Prix Legends replays, by the gridtally developers.";
}

std::string osamePath(const std::string& replayPath) {
    // The extension separator is the last '.' of the final component, unless
    // it is that component's first character.
    std::size_t stem = replayPath.size();
    for (std::size_t i = replayPath.size(); i-- > 0;) {
        char c = replayPath[i];
        if (c == '\\' || c == '/' || c == ':') break;
        if (c == '.') {
            bool first = i == 0 || replayPath[i - 1] == '\\' || replayPath[i - 1] == '/' ||
                         replayPath[i - 1] == ':';
            if (!first) stem = i;
            break;
        }
    }
    return replayPath.substr(0, stem) + ".txt";
}

int runMain(int argc, char** argv) {
    std::vector<std::string> args = platform::commandLineArguments(argc, argv);
    std::string program = programName(args.empty() ? "gridtally" : args.front());
    if (!args.empty()) args.erase(args.begin());
    try {
        return run(args, program);
    } catch (const std::exception& e) {
        stderrConsole().writeln("Error: " + std::string(e.what()));
        return 1;
    }
}
