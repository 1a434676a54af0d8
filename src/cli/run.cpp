#include "cli/run.h"

#include <cerrno>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "carset/carset.h"
#include "cli/archive_run.h"
#include "cli/command_line.h"
#include "cli/console.h"
#include "pipeline/replay_report.h"
#include "platform/platform.h"
#include "replay/replay_file.h"
#include "report/report.h"
#include "standings/standings_writer.h"
#include "season/season.h"
#include "site/site.h"
#include "text/diagnostics.h"
#include "text/format.h"
#include "weekend/weekend_builder.h"

namespace {

// Ends the run with a status and "Error: <message>".
struct Failure {
    ExitStatus status;
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

// What a run reads, and how it writes its output to a sink.
struct Job {
    std::string input;
    // The files the run reads, which the output must never replace, each
    // with what it is to the run.
    std::vector<std::pair<std::string, std::string>> inputs;
    std::function<void(ReportSink&, Diagnostics&, const std::string& outputPath)> write;
};

Job seasonJob(const CommandLine& cl) {
    if (cl.replay) throw Failure{ExitStatus::FAILED, "give either a replay or --season, not both"};
    Job job{cl.season(), {}, {}};
    if (job.input.empty()) throw Failure{ExitStatus::BAD_CARSET_OR_SEASON, "need season file after --season"};
    // Its rounds would be on that machine too, which a season may not name.
    if (platform::pathSeparator == '\\' && isNetworkOrDevicePath(job.input))
        throw Failure{ExitStatus::BAD_CARSET_OR_SEASON,
                      formatText("%s is a network or device path; a season reads only local files", job.input)};
    if (platform::isDirectory(job.input))
        throw Failure{ExitStatus::BAD_CARSET_OR_SEASON, formatText("%s is a folder, not a season file", job.input)};
    if (!isReadable(job.input))
        throw Failure{ExitStatus::BAD_CARSET_OR_SEASON, formatText("cannot read %s: no such file", job.input)};
    // Read now: its rounds' files are inputs too, known before the question.
    std::shared_ptr<const SeasonFile> season;
    try {
        season = std::make_shared<const SeasonFile>(readSeasonFile(job.input));
        refuseNetworkPaths(*season);
    } catch (const SeasonFileError& e) {
        throw Failure{ExitStatus::BAD_CARSET_OR_SEASON, e.what()};
    }
    job.inputs = {{job.input, "the season file"}};
    for (const SeasonRound& round : season->rounds) {
        job.inputs.emplace_back(round.replayPath, formatText("the replay of round %d", round.number));
        if (!round.carsetPath.empty())
            job.inputs.emplace_back(round.carsetPath, formatText("the carset of round %d", round.number));
    }
    const StandingsOptions options{cl.report.format, cl.teams};
    job.write = [season, options](ReportSink& sink, Diagnostics& diagnostics, const std::string&) {
        writeStandings(loadSeason(*season, diagnostics), options, sink);
    };
    return job;
}

Job replayJob(const CommandLine& cl) {
    if (!cl.replay) throw Failure{ExitStatus::FAILED, "need replay file as parameter"};
    Job job{*cl.replay, {}, {}};
    const CarsetChoice carset{cl.carset(), cl.carsetAuto};
    try {
        checkReportInputs(job.input, carset);
    } catch (const CarsetError& e) {
        throw Failure{ExitStatus::BAD_CARSET_OR_SEASON, e.what()};
    }
    job.inputs = {{job.input, "the replay"}};
    if (!carset.path.empty()) job.inputs.emplace_back(carset.path, "the carset file");
    // The carset a search would find is read too: found now, before the
    // output is asked about.
    if (carset.path.empty() && carset.detect && (!cl.output().empty() || cl.outputSame)) {
        try {
            if (const std::optional<std::string> found = detectedCarsetPath(ReplayFile(job.input)))
                job.inputs.emplace_back(*found, "the carset file");
        } catch (const std::exception&) {
            // The run reports the replay's trouble.
        }
    }
    job.write = [input = job.input, carset, options = cl.report](ReportSink& sink, Diagnostics& diagnostics,
                                                                  const std::string&) {
        writeReplayReport(input, carset, options, sink, diagnostics);
    };
    return job;
}

// The output file, empty for standard output. Refused when it is one of the
// files the run reads: no answer to the overwrite question could make it right.
std::string outputPathOf(const CommandLine& cl, const Job& job) {
    std::string outputPath = cl.output();
    if (outputPath.empty() && cl.outputSame) outputPath = osamePath(job.input, cl.report.format);
    for (const auto& [path, what] : job.inputs)
        if (!outputPath.empty() && platform::sameFile(outputPath, path))
            throw Failure{ExitStatus::FAILED, formatText("output file %s is %s itself", outputPath, what)};
    return outputPath;
}

void writeOutput(const Job& job, const std::string& outputPath, Consoles& consoles) {
    ConsoleDiagnostics diagnostics(consoles.err);
    try {
        if (outputPath.empty()) {
            ConsoleSink sink(consoles.out);
            job.write(sink, diagnostics, outputPath);
            sink.finish();
        } else {
            FileSink sink(outputPath, consoles.err);
            job.write(sink, diagnostics, outputPath);
            sink.finish();
        }
    } catch (const ReplayAccessError& e) {
        throw Failure{ExitStatus::BAD_OPTION_OR_ACCESS, formatText(" accessing file %s", e.what())};
    } catch (const CarsetError& e) {
        throw Failure{ExitStatus::BAD_CARSET_OR_SEASON, e.what()};
    } catch (const SeasonFileError& e) {
        throw Failure{ExitStatus::BAD_CARSET_OR_SEASON, e.what()};
    }
}

// --site: the season's whole site in a folder instead of one output. The
// season file passes the same checks first.
ExitStatus writeSiteOf(const CommandLine& cl, Consoles& consoles) {
    const Job job = seasonJob(cl);
    ConsoleDiagnostics diagnostics(consoles.err);
    try {
        writeSite(job.input, cl.site(), diagnostics);
    } catch (const SiteError& e) {
        throw Failure{ExitStatus::FAILED, e.what()};
    } catch (const SeasonFileError& e) {
        throw Failure{ExitStatus::BAD_CARSET_OR_SEASON, e.what()};
    }
    return ExitStatus::OK;
}

// Help, version and an invalid option end the run before any work.
std::optional<ExitStatus> stopEarly(const CommandLine& cl, const std::string& program, Consoles& consoles) {
    switch (cl.stop) {
    case CommandLine::Stop::HELP: consoles.out.writeLine(usageText(program)); return ExitStatus::OK;
    case CommandLine::Stop::VERSION: consoles.out.writeLine(versionText(program)); return ExitStatus::OK;
    case CommandLine::Stop::INVALID_OPTION:
        consoles.err.writeLine(formatText("invalid option '%s'", cl.invalidOption));
        consoles.out.writeLine(usageText(program));
        return ExitStatus::BAD_OPTION_OR_ACCESS;
    case CommandLine::Stop::NONE: break;
    }
    return std::nullopt;
}

ExitStatus run(const std::vector<std::string>& args, const std::string& program, Consoles& consoles, std::FILE* in) {
    platform::widenConsole();
    if (args.empty()) {
        consoles.out.writeLine(usageText(program));
        return ExitStatus::NO_ARGUMENTS;
    }
    const CommandLine cl = parseCommandLine(args);
    consoles.out.mode(cl.convert);
    consoles.err.mode(cl.convert);
    if (const std::optional<ExitStatus> stop = stopEarly(cl, program, consoles)) return *stop;
    if (cl.archive) return runArchive(cl, consoles.out, consoles.err, in);
    if (cl.seasonRun && !cl.site().empty()) return writeSiteOf(cl, consoles);

    const Job job = cl.seasonRun ? seasonJob(cl) : replayJob(cl);
    const std::string outputPath = outputPathOf(cl, job);
    if (!outputPath.empty() && platform::exists(outputPath) && !cl.force &&
        !confirmOverwrite(outputPath, consoles.err, in))
        return ExitStatus::NOT_OVERWRITTEN;
    writeOutput(job, outputPath, consoles);
    return ExitStatus::OK;
}

} // namespace

int runGridtally(const std::vector<std::string>& args, const ProcessIo& io) {
    Consoles consoles{ConsoleOutput(io.out, io.consoleCodePage), MessageOutput(io.err, io.consoleCodePage)};
    const std::string program = programName(args.empty() ? "gridtally" : args.front());
    const std::vector<std::string> options(args.empty() ? args.end() : args.begin() + 1, args.end());
    try {
        return static_cast<int>(run(options, program, consoles, io.in));
    } catch (const Failure& f) {
        consoles.err.writeLine("Error: " + f.message);
        return static_cast<int>(f.status);
    } catch (const std::exception& e) {
        consoles.err.writeLine("Error: " + std::string(e.what()));
        return static_cast<int>(ExitStatus::FAILED);
    }
}

int runMain(int argc, char** argv) {
    ProcessIo io;
    io.consoleCodePage = platform::consoleOutputCodePage();
    return runGridtally(platform::commandLineArguments(argc, argv), io);
}
