// A weekend's report tables as archive rows: the fields and values of the
// JSON report's rows, each keyed by its replay.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_tables.h"
#include "weekend/weekend.h"

// What the archive knows of a replay besides its weekend.
struct ReplayFacts {
    std::string path;
    std::optional<std::uint64_t> size;
    std::vector<std::string> warnings;
};

// The replays row of a replay that was read.
ArchiveRow replayRow(const ReplayFacts& facts, const std::string& key, const Weekend& weekend);
// The replays row of a broken replay: its error message, no key.
ArchiveRow brokenReplayRow(const ReplayFacts& facts, const std::string& error);
// Takes each row as it is made; the row is valid only during the call.
using RowOut = std::function<void(const ArchiveRow&)>;
// One row per car of each session's result tables, as the JSON report lists
// them.
void resultRows(const Weekend& weekend, const std::string& key, const RowOut& out);
// One row per crossing of every car.
void lapRows(const Weekend& weekend, const std::string& key, const RowOut& out);
