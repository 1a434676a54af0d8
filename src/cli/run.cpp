#include "cli/run.h"

#include <cerrno>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "carset/carset.h"
#include "cli/command_line.h"
#include "cli/console.h"
#include "platform/platform.h"
#include "replay/replay_file.h"
#include "report/report.h"
#include "season/season.h"
#include "standings/standings_writer.h"
#include "text/diagnostics.h"
#include "text/format.h"
#include "weekend/weekend_builder.h"

namespace {

// Ends the run with a status and "Error: <message>".
struct Failure {
    int status;
    std::string message;
};

struct Consoles {
    ConsoleOutput out;
    MessageOutput err;
};

class ConsoleDiagnostics final : public Diagnostics {
public:
    explicit ConsoleDiagnostics(MessageOutput& err) : err_(err) {}
    void warning(std::string_view text) override { err_.writeLine("Warning: " + std::string(text)); }
    void notice(std::string_view text) override { err_.writeLine(text); }

private:
    MessageOutput& err_;
};

class ConsoleSink final : public ReportSink {
public:
    explicit ConsoleSink(ConsoleOutput& out) : out_(out) {
        std::clearerr(out_.stream());
        errno = 0;
    }
    void write(std::string_view text) override { out_.writeText(text); }
    // A report lost on its way out (a full disk, say) is no success.
    void finish() {
        if (!std::ferror(out_.stream())) return;
        if (errno == 0) errno = EIO;
        throw std::runtime_error("Write to standard output failed: " + platform::lastErrorText());
    }

private:
    ConsoleOutput& out_;
};

// Opens the output file when the report's first text is ready, that is once
// the replay has been read: a broken replay leaves the old file alone. The
// file replaces the old one only when the report is complete.
class FileSink final : public ReportSink {
public:
    FileSink(std::string path, MessageOutput& err) : path_(std::move(path)), err_(err) {}
    void write(std::string_view text) override {
        if (!file_) {
            err_.writeLine(formatText("Writing output to file %s", platform::absolutePath(path_)));
            file_.emplace(path_, true);
        }
        file_->write(text);
    }
    void finish() {
        if (file_) file_->commit();
    }

private:
    std::string path_;
    MessageOutput& err_;
    std::optional<platform::OutputFile> file_;
};

// An input path that names something other than a folder.
bool isReadable(const std::string& path) { return platform::exists(path) && !platform::isDirectory(path); }

// Asks before an existing output file is overwritten; false when declined.
bool confirmOverwrite(const std::string& outputPath, MessageOutput& err, std::FILE* in) {
    err.ask(formatText("Output file %s already exists. Overwrite ? (Y/N): ", outputPath));
    const int c = std::fgetc(in);
    return c == 'y' || c == 'Y';
}

int run(const std::vector<std::string>& args, const std::string& program, Consoles& consoles, std::FILE* in) {
    platform::widenConsole();
    if (args.empty()) {
        consoles.out.writeLine(usageText(program));
        return 3;
    }
    const CommandLine cl = parseCommandLine(args);
    consoles.out.mode(cl.convert);
    consoles.err.mode(cl.convert);
    switch (cl.stop) {
    case CommandLine::Stop::HELP: consoles.out.writeLine(usageText(program)); return 0;
    case CommandLine::Stop::VERSION: consoles.out.writeLine(versionText(program)); return 0;
    case CommandLine::Stop::INVALID_OPTION:
        consoles.err.writeLine(formatText("invalid option '%s'", cl.invalidOption));
        consoles.out.writeLine(usageText(program));
        return -1;
    case CommandLine::Stop::NONE: break;
    }

    // What the run reads and how it writes it to a sink.
    std::string input;
    std::string outputPath;
    // The files the run reads, which the output must never replace, each
    // with what it is to the run.
    std::vector<std::pair<std::string, std::string>> inputs;
    std::function<void(ReportSink&, Diagnostics&)> write;
    std::optional<SeasonFile> season;
    if (cl.seasonRun) {
        if (cl.replay) throw Failure{1, "give either a replay or --season, not both"};
        input = cl.season();
        if (input.empty()) throw Failure{2, "need season file after --season"};
        // Its rounds would be on that machine too, which a season may not name.
        if (platform::pathSeparator == '\\' && isNetworkOrDevicePath(input))
            throw Failure{2, formatText("%s is a network or device path; a season reads only local files", input)};
        if (platform::isDirectory(input)) throw Failure{2, formatText("%s is a folder, not a season file", input)};
        if (!isReadable(input)) throw Failure{2, formatText("cannot read %s: no such file", input)};
        try {
            season = readSeasonFile(input);
            refuseNetworkPaths(*season);
        } catch (const SeasonFileError& e) {
            throw Failure{2, e.what()};
        }
        inputs = {{input, "the season file itself"}};
        for (const SeasonRound& round : season->rounds) {
            inputs.emplace_back(round.replayPath, formatText("the replay of round %d itself", round.number));
            if (!round.carsetPath.empty())
                inputs.emplace_back(round.carsetPath, formatText("the carset of round %d itself", round.number));
        }
        const StandingsOptions options{cl.report.format, cl.teams};
        write = [&season, options](ReportSink& sink, Diagnostics& diagnostics) {
            writeStandings(loadSeason(*season, diagnostics), options, sink);
        };
    } else {
        if (!cl.replay) throw Failure{1, "need replay file as parameter"};
        input = *cl.replay;
        if (!isReadable(input)) throw Failure{1, formatText("cannot read %s: no such file", input)};

        const CarsetChoice carset{cl.carset(), cl.carsetAuto};
        if (!carset.path.empty() && !isReadable(carset.path))
            throw Failure{2, formatText("cannot read %s: no such file", carset.path)};
        inputs = {{input, "the replay itself"}};
        if (!carset.path.empty()) inputs.emplace_back(carset.path, "the carset file itself");
        // The carset a search would find is read too: found now, before
        // the output is asked about.
        if (carset.path.empty() && carset.detect && (!cl.output().empty() || cl.outputSame)) {
            try {
                if (const std::optional<std::string> found = detectedCarsetPath(ReplayFile(input)))
                    inputs.emplace_back(*found, "the carset file itself");
            } catch (const std::exception&) {
                // The run reports the replay's trouble.
            }
        }
        write = [&input, carset, &cl](ReportSink& sink, Diagnostics& diagnostics) {
            writeReplayReport(input, carset, cl.report, sink, diagnostics);
        };
    }

    outputPath = cl.output();
    if (outputPath.empty() && cl.outputSame) outputPath = osamePath(input, cl.report.format);
    // Refused before the question: no answer could make it right.
    for (const auto& [path, what] : inputs)
        if (!outputPath.empty() && platform::sameFile(outputPath, path))
            throw Failure{1, formatText("output file %s is %s", outputPath, what)};
    if (!outputPath.empty() && platform::exists(outputPath) && !cl.force &&
        !confirmOverwrite(outputPath, consoles.err, in))
        return 4;

    ConsoleDiagnostics diagnostics(consoles.err);
    try {
        if (outputPath.empty()) {
            ConsoleSink sink(consoles.out);
            write(sink, diagnostics);
            sink.finish();
        } else {
            FileSink sink(outputPath, consoles.err);
            write(sink, diagnostics);
            sink.finish();
        }
    } catch (const ReplayAccessError& e) {
        throw Failure{-1, formatText(" accessing file %s", e.what())};
    } catch (const CarsetError& e) {
        throw Failure{2, e.what()};
    } catch (const SeasonFileError& e) {
        throw Failure{2, e.what()};
    }
    return 0;
}

} // namespace

int runGridtally(const std::vector<std::string>& args, const ProcessIo& io) {
    Consoles consoles{ConsoleOutput(io.out, io.consoleCodePage), MessageOutput(io.err, io.consoleCodePage)};
    const std::string program = programName(args.empty() ? "gridtally" : args.front());
    const std::vector<std::string> options(args.empty() ? args.end() : args.begin() + 1, args.end());
    try {
        return run(options, program, consoles, io.in);
    } catch (const Failure& f) {
        consoles.err.writeLine("Error: " + f.message);
        return f.status;
    } catch (const std::exception& e) {
        consoles.err.writeLine("Error: " + std::string(e.what()));
        return 1;
    }
}

int runMain(int argc, char** argv) {
    ProcessIo io;
    io.consoleCodePage = platform::consoleOutputCodePage();
    return runGridtally(platform::commandLineArguments(argc, argv), io);
}
