#include "report/csv_writer.h"

#include "document/cells.h"
#include "document/row_buffer.h"
#include "text/csv_text.h"

namespace {

void appendMs(std::string& out, std::uint32_t ms) { appendMilliseconds(out, ms, ""); }
void appendMs(std::string& out, std::int32_t ms) { appendMilliseconds(out, ms, ""); }

// session,session_type,table,position,number,driver,team, of a result row;
// position 0 leaves its field empty.
void appendRowStart(std::string& out, const SessionReport& session, const char* table, int position,
                    const Entry& entry, std::int32_t driverId) {
    appendInteger(out, static_cast<std::int64_t>(session.number));
    out += ',';
    out += sessionTypeName(session.session->type);
    out += ',';
    out += table;
    out += ',';
    if (position != 0) appendInteger(out, position);
    out += ',';
    appendInteger(out, entry.number);
    out += ',';
    appendCsvField(out, displayName(entry.drivers.find(driverId)));
    out += ',';
    appendCsvField(out, entry.team);
    out += ',';
}

} // namespace

void CsvWriter::begin(const Weekend&) {
    out_ += "\xEF\xBB\xBF";
    if (laps_)
        out_ += "session,number,driver,lap,lap_time,lap_time_ms,clock,clock_ms,position,off_track,invalid,remark\n";
    else
        out_ += "session,session_type,table,position,number,driver,team,laps,time,time_ms,gap,gap_ms,laps_behind,"
                "status,lap_time,lap_time_ms,diff,diff_ms,best_lap_ms,lap,clock,clock_ms,valid_laps,total_laps,"
                "remark\n";
}

void CsvWriter::bestLapRow(const SessionReport& session, const char* table, int position, const BestLapResult& r) {
    std::string& out = out_.buffer();
    appendRowStart(out, session, table, position, entries_.find(r.carId), r.driverId);
    // A car without a time: its times read "-.---", their milliseconds and
    // its lap stay empty.
    const bool timed = r.lapTime != 0;
    const std::uint32_t lapTime = timed ? r.lapTime : noTime;
    const std::uint32_t gap = timed ? static_cast<std::uint32_t>(r.gap) : noTime;
    const std::uint32_t clock = timed ? r.clock : noTime;
    // laps..time_ms do not apply.
    out += ",,,";
    out += formatLapTime(gap);
    out += ',';
    appendMs(out, gap);
    // laps_behind, status do not apply.
    out += ",,,";
    out += formatLapTime(lapTime);
    out += ',';
    appendMs(out, lapTime);
    // diff..best_lap_ms do not apply.
    out += ",,,,";
    if (timed) appendInteger(out, r.lap);
    out += ',';
    out += formatLapTime(clock);
    out += ',';
    appendMs(out, clock);
    out += ',';
    appendInteger(out, r.lapsValid);
    out += ',';
    appendInteger(out, r.lapsTotal);
    out += ',';
    out += timed ? lapRemark(r.flags) : "no time";
    out += '\n';
    out_.endRow();
}

void CsvWriter::practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) {
    if (laps_) return;
    int position = 0;
    for (const BestLapResult& r : rows) bestLapRow(session, "results", ++position, r);
    for (const BestLapResult& r : carsWithoutTime(session.session->timing)) bestLapRow(session, "results", 0, r);
}

void CsvWriter::fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) {
    if (laps_) return;
    int position = 0;
    for (const BestLapResult& r : rows) bestLapRow(session, "fastestLaps", ++position, r);
}

void CsvWriter::raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) {
    if (laps_) return;
    int position = 0;
    for (const RaceResult& r : rows) {
        std::string& out = out_.buffer();
        appendRowStart(out, session, "classification", ++position, entries_.find(r.carId), r.driverId);
        appendInteger(out, r.laps);
        out += ',';
        out += formatLapTime(r.clock);
        out += ',';
        appendMs(out, r.clock);
        out += ',';
        out += formatLapTime(r.gap);
        out += ',';
        appendMs(out, r.gap);
        out += ',';
        appendInteger(out, r.lapsBehind);
        out += r.retired ? ",retired," : ",finished,";
        // lap_time, lap_time_ms do not apply.
        out += ",,";
        out += formatLapTime(r.diff);
        out += ',';
        appendMs(out, r.diff);
        out += ',';
        if (r.bestLapTime != 0) appendInteger(out, r.bestLapTime);
        // lap..total_laps do not apply.
        out += ",,,,,,";
        out += raceRemark(r);
        out += '\n';
        out_.endRow();
    }
}

void CsvWriter::lapListings(const std::vector<SessionReport>& sessions) {
    if (!laps_) return;
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
            appendCsvField(start, displayName(entry.drivers.find(car.driverId)));
            start += ',';
            RowBuffer row;
            for (std::size_t i = 0; i < car.laps.size(); ++i) {
                const TimedLap& lap = car.laps[i];
                const std::uint32_t lapTime = lapTimeAt(car, i);
                out_ += start;
                row.integer(i) << ",";
                row.time(lapTime) << ",";
                row.milliseconds(lapTime, "") << ",";
                row.time(lap.clock) << ",";
                row.milliseconds(lap.clock, "") << ",";
                row.integer(positions[c][i]) << ",";
                row.boolean(lap.flags & LapFlag::offTrack) << ",";
                row.boolean(lap.flags & LapFlag::invalid) << ",";
                row.text(lapRemark(lap.flags)) << "\n";
                row.appendTo(out_.buffer());
                out_.endRow();
            }
        }
    }
}
