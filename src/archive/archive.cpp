#include "archive/archive.h"

#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <variant>
#include <vector>

#include "archive/archive_inputs.h"
#include "archive/archive_rows.h"
#include "archive/sha256.h"
#include "platform/platform.h"
#include "replay/replay_file.h"
#include "text/diagnostics.h"
#include "text/format.h"

namespace {

class WarningList final : public Diagnostics {
public:
    explicit WarningList(std::vector<std::string>& warnings) : warnings_(warnings) {}
    void warning(std::string_view text) override { warnings_.emplace_back(text); }
    void notice(std::string_view) override {}

private:
    std::vector<std::string>& warnings_;
};

// The size of a file that could not be opened, where the system tells it.
std::optional<std::uint64_t> fileSize(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(fsPath(path), error);
    if (error) return std::nullopt;
    return size;
}

// Opens the replay at path and notes its size. A path that names nothing or
// a folder has "no such file"; one that cannot be opened keeps the system's
// word, and its size where the system tells it.
platform::ReadOnlyFile openReplay(const std::string& path, ReplayFacts& facts) {
    try {
        platform::ReadOnlyFile file(path);
        facts.size = file.size();
        return file;
    } catch (const platform::OpenError& e) {
        if (e.cause() != platform::OpenError::Cause::UNREADABLE)
            throw std::runtime_error(formatText("cannot read %s: no such file", path));
        facts.size = fileSize(path);
        throw;
    }
}

// The end of the record chunks: header, weekend, drivers and the sessions
// that follow them. The replay reader has walked and checked them already.
std::uint64_t recordsEnd(const ReplayFile& file) {
    const Chunk& root = file.root();
    const ChunkFile& chunks = file.chunks();
    std::uint64_t at = root.dataOffset();
    for (int i = 0; i < 3; ++i) at = chunks.chunkAt(at).endOffset();
    while (root.endOffset() - at >= Chunk::headerSize) {
        const Chunk chunk = chunks.chunkAt(at);
        if (chunk.label() != "BTPL") break;
        at = chunk.endOffset();
    }
    return at;
}

// The key of a replay: the hash of its records, so that a copy, or the same
// race followed by other trailing data, has the same key.
std::string replayKey(const ReplayFile& file) {
    return sha256Hex(file.chunks().slice(file.root().dataOffset(), recordsEnd(file)));
}

} // namespace

void ArchiveSink::take(ReplayRows& rows, ArchiveTable table, const ArchiveRow& row) const {
    switch (table) {
    case ArchiveTable::REPLAYS: rows.replay = row; break;
    case ArchiveTable::RESULTS: rows.results.push_back(row); break;
    case ArchiveTable::LAPS: rows.laps.push_back(row); break;
    }
}

ReplayRows readReplayRows(const ArchiveInput& input, const ArchiveOptions& options, const ArchiveSink& sink) {
    const std::string& path = input.path;
    ReplayRows rows;
    ReplayFacts facts{path, {}, {}};
    WarningList warnings(facts.warnings);
    std::optional<ReplayFile> file;
    std::optional<Weekend> weekend;
    try {
        if (input.bytes) {
            facts.size = input.bytes->size();
            file.emplace(path, *input.bytes);
        } else {
            file.emplace(path, openReplay(path, facts));
        }
        weekend = buildWeekend(*file, options.carset, warnings);
    } catch (const std::exception& e) {
        rows.broken = true;
        sink.take(rows, ArchiveTable::REPLAYS, brokenReplayRow(facts, e.what()));
        return rows;
    }
    const std::string key = replayKey(*file);
    sink.take(rows, ArchiveTable::REPLAYS, replayRow(facts, key, *weekend));
    resultRows(*weekend, key, [&](const ArchiveRow& row) { sink.take(rows, ArchiveTable::RESULTS, row); });
    if (options.laps) lapRows(*weekend, key, [&](const ArchiveRow& row) { sink.take(rows, ArchiveTable::LAPS, row); });
    return rows;
}

namespace {

class Counter {
public:
    explicit Counter(ArchiveCounts& counts) : counts_(counts) {}
    void count(const ReplayRows& rows) {
        if (rows.known) {
            ++counts_.known;
            return;
        }
        ++counts_.read;
        if (rows.broken) ++counts_.broken;
    }

private:
    ArchiveCounts& counts_;
};

// About what a replay's rows take in memory.
std::size_t heldBytes(const ReplayRows& rows) {
    std::size_t bytes = 0;
    for (const std::string& line : rows.text) bytes += sizeof line + line.capacity();
    auto cells = [&bytes](const ArchiveRow& row) {
        bytes += sizeof row + row.capacity() * sizeof(ArchiveCell);
        for (const ArchiveCell& cell : row)
            if (const auto* text = std::get_if<std::string>(&cell)) bytes += text->capacity();
    };
    cells(rows.replay);
    for (const ArchiveRow& row : rows.results) cells(row);
    for (const ArchiveRow& row : rows.laps) cells(row);
    return bytes;
}

ReplayRows rowsOf(const ArchiveInput& input, const ArchiveOptions& options, const ArchiveSink& sink) {
    if (!input.known) return readReplayRows(input, options, sink);
    ReplayRows rows;
    rows.known = true;
    return rows;
}

// Workers take the next input while it lies within the window past the last
// one written and the rows waiting for their turn stay within a budget of
// bytes; the calling thread writes the slots in order. The input the writer
// waits for is always taken, so a replay of any size gets through, and
// large ones wait one at a time rather than a window full of them.
class OrderedRun {
public:
    static constexpr std::size_t budgetPerThread = std::size_t(4) << 20;

    OrderedRun(std::span<const ArchiveInput> inputs, const ArchiveOptions& options, ArchiveSink& sink)
        : inputs_(inputs), options_(options), sink_(sink), window_(std::size_t(options.threads) * 4),
          budget_(std::size_t(options.threads) * budgetPerThread), slots_(window_), sizes_(window_) {}

    void run(Counter& counter) {
        std::vector<std::thread> workers;
        for (unsigned t = 0; t < options_.threads; ++t) workers.emplace_back([this] { work(); });
        try {
            merge(counter);
        } catch (...) {
            stop();
            for (std::thread& w : workers) w.join();
            throw;
        }
        for (std::thread& w : workers) w.join();
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    void stop() {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        space_.notify_all();
    }

    void work() {
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex_);
                space_.wait(lock, [this] {
                    return stopped_ || next_ >= inputs_.size() ||
                           (next_ < written_ + window_ && (next_ == written_ || held_ < budget_));
                });
                if (stopped_ || next_ >= inputs_.size()) return;
                index = next_++;
            }
            std::optional<ReplayRows> rows;
            std::exception_ptr failure;
            try {
                rows = rowsOf(inputs_[index], options_, sink_);
            } catch (...) {
                failure = std::current_exception();
            }
            const std::size_t bytes = rows ? heldBytes(*rows) : 0;
            const std::lock_guard lock(mutex_);
            if (failure) {
                if (!failure_) failure_ = failure;
                stopped_ = true;
                space_.notify_all();
                ready_.notify_all();
                return;
            }
            held_ += bytes;
            sizes_[index % window_] = bytes;
            slots_[index % window_] = std::move(rows);
            ready_.notify_all();
        }
    }

    void merge(Counter& counter) {
        for (std::size_t index = 0; index < inputs_.size(); ++index) {
            ReplayRows rows;
            {
                std::unique_lock lock(mutex_);
                std::optional<ReplayRows>& slot = slots_[index % window_];
                ready_.wait(lock, [&] { return stopped_ || slot.has_value(); });
                if (!slot) return; // a worker failed: run() rethrows
                rows = std::move(*slot);
                slot.reset();
                held_ -= sizes_[index % window_];
                ++written_;
                space_.notify_all();
            }
            counter.count(rows);
            sink_.write(index, std::move(rows));
        }
    }

    std::span<const ArchiveInput> inputs_;
    const ArchiveOptions& options_;
    ArchiveSink& sink_;
    const std::size_t window_;
    const std::size_t budget_;
    std::vector<std::optional<ReplayRows>> slots_;
    std::vector<std::size_t> sizes_; // heldBytes of each slot's rows
    std::mutex mutex_;
    std::condition_variable space_;
    std::condition_variable ready_;
    std::size_t next_ = 0;
    std::size_t written_ = 0;
    std::size_t held_ = 0; // bytes of the rows in the slots
    bool stopped_ = false;
    std::exception_ptr failure_;
};

} // namespace

ArchiveCounts readArchive(std::span<const ArchiveInput> inputs, const ArchiveOptions& options, ArchiveSink& sink) {
    ArchiveCounts counts;
    Counter counter(counts);
    if (options.threads <= 1) {
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            ReplayRows rows = rowsOf(inputs[i], options, sink);
            counter.count(rows);
            sink.write(i, std::move(rows));
        }
    } else {
        OrderedRun(inputs, options, sink).run(counter);
    }
    return counts;
}
