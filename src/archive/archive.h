// Many replays in one pass: each replay's rows, read on worker threads and
// handed to a sink in input order, whatever the number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "archive/archive_tables.h"
#include "weekend/weekend_builder.h"

struct ArchiveInput {
    std::string path;
    // The sink already holds this replay's rows (an unchanged replay of an
    // earlier run): it is not read, and its rows come back empty and known.
    bool known = false;
    // The replay's bytes, when it is read from memory rather than from path,
    // which then only names it; they must outlive the run.
    std::optional<std::span<const std::uint8_t>> bytes;
};

struct ArchiveOptions {
    bool laps = false;    // the laps table too
    unsigned threads = 1; // replays read at the same time
    CarsetChoice carset{};
};

class ArchiveSink {
public:
    virtual ~ArchiveSink() = default;
    // On a worker thread, each row of a replay as it is made, its replays
    // row first: kept in rows by default; a sink may encode it into
    // rows.text instead. Touches nothing shared.
    virtual void take(ReplayRows& rows, ArchiveTable table, const ArchiveRow& row) const;
    // On the calling thread, in input order, once all of a replay's rows
    // were taken.
    virtual void write(std::size_t index, ReplayRows&& rows) = 0;
};

struct ArchiveCounts {
    std::size_t read = 0;   // replays read, broken ones included
    std::size_t broken = 0;
    std::size_t known = 0;
};

// Reads one replay and hands its rows to the sink's take(); a broken replay
// gives its replays row with the message the single-replay run prints for
// it, and no other rows.
ReplayRows readReplayRows(const ArchiveInput& input, const ArchiveOptions& options, const ArchiveSink& sink);

// Reads the inputs and writes their rows to the sink. At most a few replays
// per thread are in flight at any time. An exception from the sink stops
// the workers and propagates.
ArchiveCounts readArchive(std::span<const ArchiveInput> inputs, const ArchiveOptions& options, ArchiveSink& sink);
