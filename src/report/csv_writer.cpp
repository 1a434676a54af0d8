#include "report/csv_writer.h"

#include <array>
#include <string_view>

#include "document/cells.h"
#include "document/csv_document.h"
#include "report/report_columns.h"
#include "text/csv_text.h"

namespace {

// Without the laps switch every result table shares one wide table: these
// columns after session,session_type,table, each row filling those of its
// table's columns.
constexpr std::array<std::string_view, 22> resultHeaders = {
    "position", "number", "driver", "team", "laps", "time", "time_ms", "gap", "gap_ms", "laps_behind", "status",
    "lap_time", "lap_time_ms", "diff", "diff_ms", "best_lap_ms", "lap", "clock", "clock_ms", "valid_laps",
    "total_laps", "remark"};
// With it, these after session,number,driver.
constexpr std::array<std::string_view, 9> crossingHeaders = {
    "lap", "lap_time", "lap_time_ms", "clock", "clock_ms", "position", "off_track", "invalid", "remark"};

} // namespace

void CsvWriter::begin(const Weekend&) {
    out_ += csvStart;
    out_ += laps_ ? "session,number,driver," : "session,session_type,table,";
    if (laps_)
        appendCsvHeaderRow(out_.buffer(), crossingHeaders);
    else
        appendCsvHeaderRow(out_.buffer(), resultHeaders);
}

std::string& CsvWriter::rowStart(const SessionReport& session, const char* table) {
    std::string& out = out_.buffer();
    appendInteger(out, static_cast<std::int64_t>(session.number));
    out += ',';
    out += sessionTypeName(session.session->type);
    out += ',';
    out += table;
    out += ',';
    return out;
}

// From position on, or all without a position with 0.
void CsvWriter::bestLaps(const SessionReport& session, const char* table, const std::vector<BestLapResult>& rows,
                         int position) {
    const CsvPlacement<BestLapRow> placement(resultHeaders, bestLapColumns);
    for (const BestLapResult& r : rows) {
        const BestLapRow row{position == 0 ? 0 : position++, entries_.find(r.carId), r};
        placement.append(rowStart(session, table), row);
        out_ += "\n";
        out_.endRow();
    }
}

void CsvWriter::practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) {
    if (laps_) return;
    bestLaps(session, "results", rows, 1);
    bestLaps(session, "results", carsWithoutTime(session.session->timing), 0);
}

void CsvWriter::fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) {
    if (!laps_) bestLaps(session, "fastestLaps", rows, 1);
}

void CsvWriter::raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) {
    if (laps_) return;
    const CsvPlacement<RaceRow> placement(resultHeaders, raceColumns);
    int position = 0;
    for (const RaceResult& r : rows) {
        placement.append(rowStart(session, "classification"), RaceRow{++position, entries_.find(r.carId), r});
        out_ += "\n";
        out_.endRow();
    }
}

void CsvWriter::lapListings(const std::vector<SessionReport>& sessions) {
    if (!laps_) return;
    const CsvPlacement<CrossingRow> placement(crossingHeaders, crossingColumns);
    for (const SessionReport& s : sessions) {
        const SessionTiming& timing = s.session->timing;
        const std::vector<std::vector<std::uint32_t>> positions = crossingPositions(timing);
        for (std::size_t c = 0; c < timing.cars.size(); ++c) {
            const TimingEntry& car = timing.cars[c];
            const Entry& entry = entries_.find(car.carId);
            // session,number,driver, as every row of the car starts
            std::string start;
            appendInteger(start, static_cast<std::int64_t>(s.number));
            start += ',';
            appendInteger(start, entry.number);
            start += ',';
            appendCsvName(start, displayName(entry.drivers.find(car.driverId)));
            start += ',';
            for (std::size_t i = 0; i < car.laps.size(); ++i) {
                out_ += start;
                placement.append(out_.buffer(), CrossingRow{car, i, positions[c][i]});
                out_ += "\n";
                out_.endRow();
            }
        }
    }
}
