#include "repsemikv.h"

#include "data.h"
#include "report.h"
#include "reptxt.h"
#include "timing.h"

void appendSemikvEntryList(std::string& out, const Entries& entries) {
    out += "table_start;table=Entry List;\n";
    bool lineOpen = false;
    for (const Entry& entry : sortedByNumber(entries)) {
        appendSemikv(out, "startnum=%s;", entry.number);
        appendSemikv(out, "team=%s;", entry.team);
        appendSemikv(out, "chassis=%s;", entry.chassis);
        appendSemikv(out, "engine=%s;", entry.engine);
        appendSemikv(out, "year=%s;", entry.year);
        // The line feed belongs to each driver's remark: a second driver
        // starts a new line, an entry without drivers runs on into the next.
        int k = 0;
        for (const Driver& driver : entry.drivers) {
            ++k;
            appendSemikv(out, "driver%d_name=%s;", k, displayName(driver));
            appendSemikv(out, "driver%d_nat=%s;", k, driver.nat);
            appendSemikv(out, "driver%d_remark=%s;\n", k, driver.remark);
        }
        lineOpen = entry.drivers.empty();
    }
    // A driverless last entry must not take the end marker onto its line.
    if (lineOpen) out += "\n";
    out += "table_end;\n\n";
}

namespace {

// The fields that open every row of a result table: place, car number and
// driver.
void appendSemikvPlace(std::string& out, int pos, const Entry& entry, std::int32_t driverId) {
    appendSemikv(out, "pos=%d;", pos);
    appendSemikv(out, "startnum=%s;", entry.number);
    appendSemikv(out, "drivername=%s;", displayName(entry.drivers.find(driverId)));
}

} // namespace

void appendSemikvBestLaps(std::string& out, std::string_view title, const Session& session,
                          const Entries& entries) {
    if (!session.timing) return;
    const std::vector<BestLapResult> results = session.timing->bestLapResults();
    if (results.empty()) return;
    const EntryIndex index(entries);

    out += "table_start;table=";
    out += title;
    out += ";\n";
    int pos = 0;
    for (const BestLapResult& r : results) {
        appendSemikvPlace(out, ++pos, index.find(r.carId), r.driverId);
        appendSemikv(out, "laptime=%s;", formatLapTime(r.lapTime));
        appendSemikv(out, "gap=%s;", formatLapTime(r.gap));
        appendSemikv(out, "lap=%s;clock=%s;", r.lap, formatLapTime(r.clock));
        appendSemikv(out, "lapsvalid=%s;lapstotal=%s;remark=%s;\n", r.lapsValid, r.lapsTotal, r.remark);
    }
    out += "table_end;\n\n";
}

void appendSemikvRaceResults(std::string& out, const Session& session, const Entries& entries) {
    if (!session.timing) return;
    const std::vector<RaceResult> results = session.timing->raceResults();
    if (results.empty()) return;
    const EntryIndex index(entries);

    out += "table_start;table=Race Results;\n";
    int pos = 0;
    for (const RaceResult& r : results) {
        appendSemikvPlace(out, ++pos, index.find(r.carId), r.driverId);
        appendSemikv(out, "laps=%s;clock=%s;", r.laps, formatLapTime(r.clock));
        // Unlike the text table, diff has no leading "-" here.
        appendSemikv(out, "gap=%s;diff=%s;remark=%s;\n", formatLapTime(r.gap), formatLapTime(r.diff),
                     r.remark);
    }
    out += "table_end;\n\n";
}

void appendSemikvLapTimes(std::string& out, const std::vector<Session>& sessions,
                          const Entries& entries) {
    std::size_t number = 0;
    const EntryIndex index(entries);
    for (const Session& session : sessions) {
        ++number;
        if (!session.timing) continue;
        const std::string type = toString(session.type);
        for (const TimingEntry& timed : session.timing->timingEntries) {
            const std::int16_t carNumber = index.find(timed.carId).number;
            out += "table_start;table_type=laptimes;";
            appendSemikv(out, "table=Session %s (%s) Car %d laptimes;", number, type, carNumber);
            appendSemikv(out, "session=%d;startnum=%d;\n", number, carNumber);
            std::uint32_t prev = 0;
            std::size_t j = 0;
            for (const TimedLap& lap : timed.laps) {
                // Unsigned difference: crossing 0 shows its own clock.
                appendSemikv(out, "lap=%d;laptime=%s;clock=%s;remark=%s;\n", j++,
                             formatLapTime(lap.clock - prev), formatLapTime(lap.clock), lapRemark(lap.flags));
                prev = lap.clock;
            }
            out += "table_end;\n\n";
        }
    }
}
