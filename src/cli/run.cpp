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
#include "site/site.h"
#include "standings/standings_writer.h"
#include "text/diagnostics.h"
#include "text/format.h"
#include "text/visible_text.h"

namespace {

// Ends the run with a status and "Error: <message>".
struct Failure {
    int status;
    std::string message;
};

struct Consoles {
    ConsoleOutput out;
    ConsoleOutput err;
};

class ConsoleDiagnostics final : public Diagnostics {
public:
    explicit ConsoleDiagnostics(ConsoleOutput& err) : err_(err) {}
    void warning(std::string_view text) override { err_.writeLine("Warning: " + std::string(text)); }
    void notice(std::string_view text) override { err_.writeLine(text); }

private:
    ConsoleOutput& err_;
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
    FileSink(std::string path, ConsoleOutput& err) : path_(std::move(path)), err_(err) {}
    void write(std::string_view text) override {
        if (!file_) {
            err_.writeLine(formatText("Writing output to file %s", visibleText(platform::absolutePath(path_))));
            file_.emplace(path_, true);
        }
        file_->write(text);
    }
    void finish() {
        if (file_) file_->commit();
    }

private:
    std::string path_;
    ConsoleOutput& err_;
    std::optional<platform::OutputFile> file_;
};

// An input path that names something other than a folder.
bool isReadable(const std::string& path) { return platform::exists(path) && !platform::isDirectory(path); }

// Asks before an existing output file is overwritten; false when declined.
bool confirmOverwrite(const std::string& outputPath, ConsoleOutput& err, std::FILE* in) {
    err.writeText(formatText("Output file %s already exists. Overwrite ? (Y/N): ", outputPath));
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
    // The files the run reads, which the output must never replace.
    std::vector<std::pair<std::string, const char*>> inputs;
    std::function<void(ReportSink&, Diagnostics&)> write;
    if (cl.seasonRun) {
        if (cl.replay) throw Failure{1, "give either a replay or --season, not both"};
        input = cl.season();
        if (input.empty()) throw Failure{2, "need season file after --season"};
        if (platform::isDirectory(input)) throw Failure{2, formatText("%s is a folder, not a season file", input)};
        if (!isReadable(input)) throw Failure{2, formatText("cannot read %s: no such file", input)};
        inputs = {{input, "the season file"}};
        if (!cl.site().empty()) {
            ConsoleDiagnostics diagnostics(consoles.err);
            try {
                writeSite(input, cl.site(), diagnostics);
            } catch (const SiteError& e) {
                throw Failure{1, e.what()};
            } catch (const SeasonFileError& e) {
                throw Failure{2, e.what()};
            }
            return 0;
        }
        const StandingsOptions options{cl.report.format, cl.teams};
        write = [&input, options, &outputPath](ReportSink& sink, Diagnostics& diagnostics) {
            const Standings standings = loadSeason(input, diagnostics);
            for (const RoundInfo& round : standings.rounds)
                if (!outputPath.empty() && platform::sameFile(outputPath, round.replayPath))
                    throw Failure{1, formatText("output file %s is the replay of round %d", outputPath, round.number)};
            writeStandings(standings, options, sink);
        };
    } else {
        if (!cl.replay) throw Failure{1, "need replay file as parameter"};
        input = *cl.replay;
        if (!isReadable(input)) throw Failure{1, formatText("cannot read %s: no such file", input)};

        const CarsetChoice carset{cl.carset(), cl.carsetAuto};
        if (!carset.path.empty() && !isReadable(carset.path))
            throw Failure{2, formatText("cannot read %s: no such file", carset.path)};
        inputs = {{input, "the replay"}};
        if (!carset.path.empty()) inputs.emplace_back(carset.path, "the carset file");
        write = [&input, carset, &cl](ReportSink& sink, Diagnostics& diagnostics) {
            writeReplayReport(input, carset, cl.report, sink, diagnostics);
        };
    }

    outputPath = cl.output();
    if (outputPath.empty() && cl.outputSame) outputPath = osamePath(input, cl.report.format);
    // Refused before the question: no answer could make it right.
    for (const auto& [path, what] : inputs)
        if (!outputPath.empty() && platform::sameFile(outputPath, path))
            throw Failure{1, formatText("output file %s is %s itself", outputPath, what)};
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
    Consoles consoles{ConsoleOutput(io.out, io.consoleCodePage), ConsoleOutput(io.err, io.consoleCodePage)};
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
