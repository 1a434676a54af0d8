#include "capi/gridtally.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/archive_inputs.h"
#include "carset/carset.h"
#include "document/version.h"
#include "pipeline/archive_lines.h"
#include "pipeline/replay_report.h"
#include "replay/replay_file.h"
#include "text/format.h"

namespace {

// A status with its message, thrown inside and turned into the error.
struct Failure {
    gridtally_status status;
    std::string message;
};

// A callback that asked to stop.
struct Stopped {};

gridtally_status fail(gridtally_error* error, gridtally_status status, const std::string& message) {
    if (!error) return status;
    gridtally_error_free(error);
    error->status = status;
    error->message = static_cast<char*>(std::malloc(message.size() + 1));
    if (error->message) std::memcpy(error->message, message.c_str(), message.size() + 1);
    return status;
}

// Runs body and turns what it throws into a status, worded as the program
// words it.
template <class Body>
gridtally_status guarded(gridtally_error* error, Body body) {
    if (error) {
        gridtally_error_free(error);
        error->status = GRIDTALLY_OK;
    }
    try {
        return body();
    } catch (const Failure& f) {
        return fail(error, f.status, f.message);
    } catch (const Stopped&) {
        return fail(error, GRIDTALLY_STOPPED, "stopped by the caller");
    } catch (const ReplayAccessError& e) {
        return fail(error, GRIDTALLY_NO_ACCESS, formatText(" accessing file %s", e.what()));
    } catch (const CarsetError& e) {
        return fail(error, GRIDTALLY_BAD_CARSET, e.what());
    } catch (const std::bad_alloc&) {
        return fail(error, GRIDTALLY_FAILED, "out of memory");
    } catch (const std::exception& e) {
        return fail(error, GRIDTALLY_BROKEN_REPLAY, e.what());
    } catch (...) {
        return fail(error, GRIDTALLY_FAILED, "unknown failure");
    }
}

class CallbackDiagnostics final : public Diagnostics {
public:
    explicit CallbackDiagnostics(const gridtally_options& options) : options_(options) {}
    void warning(std::string_view text) override {
        if (options_.warning) options_.warning(options_.warning_user, std::string(text).c_str());
    }
    void notice(std::string_view) override {}

private:
    const gridtally_options& options_;
};

class CallbackSink final : public ReportSink {
public:
    CallbackSink(gridtally_write_fn out, void* user) : write_(out), user_(user) {}
    void write(std::string_view text) override {
        if (write_(user_, text.data(), text.size()) != 0) throw Stopped{};
    }

private:
    gridtally_write_fn write_;
    void* user_;
};

const gridtally_options& optionsOrDefault(const gridtally_options* options) {
    static constexpr gridtally_options defaults{};
    return options ? *options : defaults;
}

ReportOptions reportOptions(const gridtally_options& options) {
    ReportOptions report;
    switch (options.format) {
    case GRIDTALLY_TEXT: report.format = ReportFormat::TEXT; break;
    case GRIDTALLY_SEMIKV: report.format = ReportFormat::SEMIKV; break;
    case GRIDTALLY_JSON: report.format = ReportFormat::JSON; break;
    case GRIDTALLY_CSV: report.format = ReportFormat::CSV; break;
    case GRIDTALLY_HTML: report.format = ReportFormat::HTML; break;
    default: throw Failure{GRIDTALLY_BAD_ARGUMENT, formatText("no report format %d", int(options.format))};
    }
    report.laps = (options.flags & GRIDTALLY_WITH_LAPS) != 0;
    if (options.flags & GRIDTALLY_NO_HEADER) report.replayInfo = report.eventInfo = false;
    return report;
}

CarsetChoice carsetChoice(const gridtally_options& options) {
    return CarsetChoice{options.carset_path ? options.carset_path : "", (options.flags & GRIDTALLY_DETECT_CARSET) != 0};
}

void reportReplay(const gridtally_replay* replay, const gridtally_options& options, ReportSink& sink) {
    if (!replay || (!replay->path && !replay->bytes)) throw Failure{GRIDTALLY_BAD_ARGUMENT, "no replay given"};
    const ReportOptions report = reportOptions(options);
    const CarsetChoice carset = carsetChoice(options);
    CallbackDiagnostics diagnostics(options);
    if (replay->bytes) {
        const auto* bytes = static_cast<const std::uint8_t*>(replay->bytes);
        writeReplayReport(replay->path ? replay->path : "<memory>", std::span(bytes, replay->size), carset, report,
                          sink, diagnostics);
        return;
    }
    checkReportInputs(replay->path, carset);
    writeReplayReport(replay->path, carset, report, sink, diagnostics);
}

// Fills the buffer while it has room and counts the rest.
class BufferSink final : public ReportSink {
public:
    BufferSink(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    void write(std::string_view text) override {
        if (length_ < capacity_) std::memcpy(buffer_ + length_, text.data(), std::min(text.size(), capacity_ - length_));
        length_ += text.size();
    }
    std::size_t length() const { return length_; }

private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

// Hands each row of the inputs to row; a broken replay fails the call once
// every other row was delivered.
void deliverRows(std::span<const ArchiveInput> inputs, const gridtally_options& given, gridtally_row_fn row,
                 void* user) {
    ArchiveOptions archive;
    archive.laps = (given.flags & GRIDTALLY_WITH_LAPS) != 0;
    archive.threads = given.threads == 0 ? 1 : given.threads;
    archive.carset = carsetChoice(given);
    const ArchiveCounts counts = readArchiveLines(inputs, archive, [&](ArchiveTable table, std::string_view line) {
        if (row(user, static_cast<gridtally_table>(table), line.data(), line.size()) != 0) throw Stopped{};
    });
    if (counts.broken != 0)
        throw Failure{GRIDTALLY_BROKEN_REPLAY, formatText("%d of %d replays are broken", counts.broken, counts.read)};
}

} // namespace

extern "C" {

void gridtally_error_free(gridtally_error* error) {
    if (!error) return;
    std::free(error->message);
    error->message = nullptr;
}

gridtally_status gridtally_report(const gridtally_replay* replay, const gridtally_options* options,
                                  gridtally_write_fn write, void* user, gridtally_error* error) {
    return guarded(error, [&] {
        if (!write) throw Failure{GRIDTALLY_BAD_ARGUMENT, "no write function given"};
        CallbackSink sink(write, user);
        reportReplay(replay, optionsOrDefault(options), sink);
        return GRIDTALLY_OK;
    });
}

gridtally_status gridtally_report_buffer(const gridtally_replay* replay, const gridtally_options* options,
                                         char* buffer, size_t capacity, size_t* length, gridtally_error* error) {
    return guarded(error, [&] {
        if (!length || (!buffer && capacity != 0)) throw Failure{GRIDTALLY_BAD_ARGUMENT, "no buffer given"};
        BufferSink sink(buffer, capacity);
        reportReplay(replay, optionsOrDefault(options), sink);
        *length = sink.length();
        if (sink.length() >= capacity)
            throw Failure{GRIDTALLY_BUFFER_TOO_SMALL,
                          formatText("the report needs %d bytes, the buffer holds %d", sink.length() + 1, capacity)};
        buffer[sink.length()] = '\0';
        return GRIDTALLY_OK;
    });
}

gridtally_status gridtally_rows(const char* const* paths, size_t count, const gridtally_options* options,
                                gridtally_row_fn row, void* user, gridtally_error* error) {
    return guarded(error, [&] {
        if (!row || (!paths && count != 0)) throw Failure{GRIDTALLY_BAD_ARGUMENT, "no paths or row function given"};
        std::vector<std::string> arguments;
        for (std::size_t i = 0; i < count; ++i) {
            if (!paths[i]) throw Failure{GRIDTALLY_BAD_ARGUMENT, formatText("path %d is NULL", i)};
            arguments.emplace_back(paths[i]);
        }
        std::vector<ArchiveInput> inputs;
        try {
            for (std::string& path : replayPaths(arguments)) inputs.push_back(ArchiveInput{std::move(path), false, {}});
        } catch (const std::exception& e) {
            throw Failure{GRIDTALLY_FAILED, e.what()};
        }
        deliverRows(inputs, optionsOrDefault(options), row, user);
        return GRIDTALLY_OK;
    });
}

gridtally_status gridtally_replay_rows(const gridtally_replay* replays, size_t count, const gridtally_options* options,
                                       gridtally_row_fn row, void* user, gridtally_error* error) {
    return guarded(error, [&] {
        if (!row || (!replays && count != 0))
            throw Failure{GRIDTALLY_BAD_ARGUMENT, "no replays or row function given"};
        std::vector<ArchiveInput> inputs;
        for (std::size_t i = 0; i < count; ++i) {
            const gridtally_replay& r = replays[i];
            if (!r.path && !r.bytes) throw Failure{GRIDTALLY_BAD_ARGUMENT, formatText("replay %d is not given", i)};
            ArchiveInput& input =
                inputs.emplace_back(ArchiveInput{r.path ? archivePath(r.path) : "<memory>", false, {}});
            if (r.bytes) input.bytes = std::span(static_cast<const std::uint8_t*>(r.bytes), r.size);
        }
        deliverRows(inputs, optionsOrDefault(options), row, user);
        return GRIDTALLY_OK;
    });
}

const char* gridtally_version(void) { return programVersion + 1; }

} // extern "C"
