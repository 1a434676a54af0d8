// The archive's flat tables: their columns, and a row as cells in column
// order. Every row names its replay by key, so the tables join on it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

enum class ArchiveTable : std::uint8_t { REPLAYS, RESULTS, LAPS };
inline constexpr ArchiveTable archiveTables[] = {ArchiveTable::REPLAYS, ArchiveTable::RESULTS, ArchiveTable::LAPS};

struct ArchiveColumn {
    const char* jsonKey;
    const char* csvHeader;
};

// "replays", "results", "laps".
const char* archiveTableName(ArchiveTable table);
std::span<const ArchiveColumn> archiveColumns(ArchiveTable table);

// Column positions; the lists in archive_tables.cpp follow these orders.
enum ReplayColumn : std::uint8_t { RP_KEY, RP_PATH, RP_SIZE, RP_TRACK, RP_CARSET, RP_SAVER, RP_SESSIONS, RP_CARS,
                                   RP_ERROR, RP_WARNINGS, RP_COUNT };
enum ResultColumn : std::uint8_t { RS_REPLAY, RS_SESSION, RS_SESSION_TYPE, RS_TABLE, RS_POSITION, RS_NUMBER,
                                   RS_DRIVER, RS_TEAM, RS_LAPS, RS_TIME, RS_TIME_MS, RS_GAP, RS_GAP_MS,
                                   RS_LAPS_BEHIND, RS_STATUS, RS_LAP_TIME, RS_LAP_TIME_MS, RS_DIFF, RS_DIFF_MS,
                                   RS_BEST_LAP_MS, RS_LAP, RS_CLOCK, RS_CLOCK_MS, RS_VALID_LAPS, RS_TOTAL_LAPS,
                                   RS_REMARK, RS_COUNT };
enum LapColumn : std::uint8_t { LP_REPLAY, LP_SESSION, LP_SESSION_TYPE, LP_NUMBER, LP_DRIVER, LP_LAP, LP_LAP_TIME,
                                LP_LAP_TIME_MS, LP_CLOCK, LP_CLOCK_MS, LP_POSITION, LP_OFF_TRACK, LP_INVALID,
                                LP_REMARK, LP_COUNT };

// A list of texts (a replay's warnings): a JSON array, in CSV one line each.
using ArchiveTexts = std::vector<std::string>;
// Null (a column that does not apply), an integer, a boolean, a text.
using ArchiveCell = std::variant<std::monostate, std::int64_t, bool, std::string, ArchiveTexts>;
using ArchiveRow = std::vector<ArchiveCell>;

// What the archive made of one replay: its rows as the sink took them
// (kept as they are, or encoded as text).
struct ReplayRows {
    ArchiveRow replay;
    std::vector<ArchiveRow> results;
    std::vector<ArchiveRow> laps;
    // Room for a sink's encoded rows.
    std::vector<std::string> text;
    bool broken = false;
    // Rows the sink already holds: nothing was read.
    bool known = false;
};
