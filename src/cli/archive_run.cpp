#include "cli/archive_run.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>

#include "archive/archive.h"
#include "archive/archive_folder.h"
#include "archive/archive_inputs.h"
#include "archive/archive_stream.h"
#include "platform/platform.h"
#include "text/format.h"

namespace {

constexpr unsigned maxThreads = 1024;
constexpr std::uint64_t maxListBytes = std::uint64_t(1) << 32;

unsigned threadCount(const CommandLine& cl) {
    if (cl.jobsSlotOpen) throw std::runtime_error("need number of threads after -j");
    if (cl.jobs.empty()) return std::max(1u, std::thread::hardware_concurrency());
    unsigned threads = 0;
    const auto [end, error] = std::from_chars(cl.jobs.data(), cl.jobs.data() + cl.jobs.size(), threads);
    if (error != std::errc() || end != cl.jobs.data() + cl.jobs.size() || threads < 1 || threads > maxThreads)
        throw std::runtime_error(formatText("-j takes a number of threads from 1 to %d, not '%s'", maxThreads, cl.jobs));
    return threads;
}

std::string readList(const std::string& path, std::FILE* in) {
    if (path != "-") {
        if (!platform::exists(path) || platform::isDirectory(path))
            throw std::runtime_error(formatText("cannot read %s: no such file", path));
        return platform::readFile(path, maxListBytes);
    }
    std::string text;
    char buffer[1 << 16];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, in)) text.append(buffer, n);
    if (std::ferror(in)) throw std::runtime_error("Read from standard input failed: " + platform::lastErrorText());
    return text;
}

std::vector<std::string> archivePaths(const CommandLine& cl, std::FILE* in) {
    std::vector<std::string> arguments = cl.paths;
    if (cl.filesFrom) {
        if (cl.filesFromSlotOpen || cl.filesFromPath.empty()) throw std::runtime_error("need file after --files-from");
        for (std::string& path : splitPathList(readList(cl.filesFromPath, in))) arguments.push_back(std::move(path));
    } else if (arguments.empty()) {
        throw std::runtime_error("need replays or folders as parameters, or --files-from <file>");
    }
    return replayPaths(arguments);
}

// Hands the rows on and, on a terminal, keeps a line of progress on
// standard error: replays done, rate, time left.
class ProgressSink final : public ArchiveSink {
public:
    ProgressSink(ArchiveSink& sink, std::size_t total, MessageOutput* err)
        : sink_(sink), total_(total), err_(err), start_(Clock::now()), shown_(start_) {}
    void take(ReplayRows& rows, ArchiveTable table, const ArchiveRow& row) const override {
        sink_.take(rows, table, row);
    }
    void write(std::size_t index, ReplayRows&& rows) override {
        sink_.write(index, std::move(rows));
        ++done_;
        if (!err_) return;
        const Clock::time_point now = Clock::now();
        if (now - shown_ < std::chrono::milliseconds(250) && done_ != total_) return;
        shown_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double perSecond = seconds > 0 ? double(done_) / seconds : 0;
        const auto left = perSecond > 0 ? static_cast<std::int64_t>(double(total_ - done_) / perSecond) : 0;
        err_->progress(formatText("%d/%d replays, %d/min, %d:%02d left ", done_, total_,
                                   static_cast<std::int64_t>(perSecond * 60), left / 60, left % 60));
    }
    void finish() {
        if (err_ && done_ != 0) err_->endProgress();
    }

private:
    using Clock = std::chrono::steady_clock;
    ArchiveSink& sink_;
    std::size_t total_;
    std::size_t done_ = 0;
    MessageOutput* err_;
    Clock::time_point start_;
    Clock::time_point shown_;
};

ArchiveFormat archiveFormat(const CommandLine& cl) {
    switch (cl.report.format) {
    case ReportFormat::TEXT:
    case ReportFormat::JSON: return ArchiveFormat::JSON_LINES;
    case ReportFormat::CSV:
        if (cl.output().empty()) throw std::runtime_error("--archive writes CSV only into a folder: -o <folder>");
        return ArchiveFormat::CSV;
    case ReportFormat::SEMIKV:
    case ReportFormat::HTML: break;
    }
    throw std::runtime_error("--archive writes JSON Lines or CSV (--format=json or --format=csv)");
}

} // namespace

ExitStatus runArchive(const CommandLine& cl, ConsoleOutput& out, MessageOutput& err, std::FILE* in) {
    if (cl.seasonRun) throw std::runtime_error("give either --archive or --season, not both");
    if (cl.outputSame) throw std::runtime_error("-osame does not apply to --archive; give -o <folder>");
    const ArchiveFormat format = archiveFormat(cl);
    ArchiveOptions options;
    options.laps = cl.report.laps;
    options.threads = threadCount(cl);
    options.carset = CarsetChoice{cl.carset(), cl.carsetAuto};
    const std::vector<std::string> paths = archivePaths(cl, in);
    MessageOutput* progress = platform::isTerminal(err.stream()) ? &err : nullptr;
    platform::keepFreedMemory();

    ArchiveCounts counts;
    std::size_t knownBroken = 0;
    const std::string folder = cl.output();
    if (folder.empty()) {
        std::clearerr(out.stream());
        errno = 0;
        ArchiveStream stream([&out](std::string_view text) { out.writeText(text); });
        ProgressSink sink(stream, paths.size(), progress);
        std::vector<ArchiveInput> inputs;
        for (const std::string& path : paths) inputs.push_back(ArchiveInput{path, false, {}});
        counts = readArchive(inputs, options, sink);
        sink.finish();
        if (std::ferror(out.stream())) {
            if (errno == 0) errno = EIO;
            throw std::runtime_error("Write to standard output failed: " + platform::lastErrorText());
        }
    } else {
        err.writeLine(formatText("Writing archive to folder %s", platform::absolutePath(folder)));
        ArchiveFolder target(folder, format, options.laps);
        const std::vector<ArchiveInput> inputs = target.plan(paths);
        ProgressSink sink(target, paths.size(), progress);
        counts = readArchive(inputs, options, sink);
        sink.finish();
        target.commit();
        knownBroken = target.knownBroken();
    }
    return counts.broken + knownBroken == 0 ? ExitStatus::OK : ExitStatus::FAILED;
}
