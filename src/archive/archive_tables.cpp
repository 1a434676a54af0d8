#include "archive/archive_tables.h"

namespace {

// JSON keys as the JSON report names its fields, CSV headers as the CSV
// report does.
constexpr ArchiveColumn replayColumns[] = {
    {"key", "key"},       {"path", "path"},         {"size", "size"},   {"track", "track"},
    {"carset", "carset"}, {"saver", "saver"},       {"sessions", "sessions"}, {"cars", "cars"},
    {"error", "error"},   {"warnings", "warnings"},
};
constexpr ArchiveColumn resultColumns[] = {
    {"replay", "replay"},         {"session", "session"},         {"sessionType", "session_type"},
    {"resultTable", "result_table"}, {"position", "position"},    {"number", "number"},
    {"driver", "driver"},         {"team", "team"},               {"laps", "laps"},
    {"time", "time"},             {"timeMs", "time_ms"},          {"gap", "gap"},
    {"gapMs", "gap_ms"},          {"lapsBehind", "laps_behind"},  {"status", "status"},
    {"lapTime", "lap_time"},      {"lapTimeMs", "lap_time_ms"},   {"diff", "diff"},
    {"diffMs", "diff_ms"},        {"bestLapMs", "best_lap_ms"},   {"lap", "lap"},
    {"clock", "clock"},           {"clockMs", "clock_ms"},        {"validLaps", "valid_laps"},
    {"totalLaps", "total_laps"},  {"remark", "remark"},
};
constexpr ArchiveColumn lapColumns[] = {
    {"replay", "replay"},       {"session", "session"},     {"sessionType", "session_type"},
    {"number", "number"},       {"driver", "driver"},       {"lap", "lap"},
    {"lapTime", "lap_time"},    {"lapTimeMs", "lap_time_ms"}, {"clock", "clock"},
    {"clockMs", "clock_ms"},    {"position", "position"},   {"offTrack", "off_track"},
    {"invalid", "invalid"},     {"remark", "remark"},
};
static_assert(std::size(replayColumns) == RP_COUNT);
static_assert(std::size(resultColumns) == RS_COUNT);
static_assert(std::size(lapColumns) == LP_COUNT);

} // namespace

const char* archiveTableName(ArchiveTable table) {
    switch (table) {
    case ArchiveTable::REPLAYS: return "replays";
    case ArchiveTable::RESULTS: return "results";
    case ArchiveTable::LAPS: break;
    }
    return "laps";
}

std::span<const ArchiveColumn> archiveColumns(ArchiveTable table) {
    switch (table) {
    case ArchiveTable::REPLAYS: return replayColumns;
    case ArchiveTable::RESULTS: return resultColumns;
    case ArchiveTable::LAPS: break;
    }
    return lapColumns;
}
