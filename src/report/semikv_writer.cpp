#include "report/semikv_writer.h"

#include "document/cells.h"
#include "document/semikv_document.h"
#include "text/format.h"
#include "text/visible_text.h"

using semikv::appendFields;

void SemikvWriter::begin(const Weekend&) { semikv::appendStart(out_.buffer()); }

void SemikvWriter::carset(const CarsetInfo& info) {
    std::string& out = out_.buffer();
    out += "table_start;table=Carset Info;\n";
    appendFields(out, "name=%s;", info.name);
    appendFields(out, "cardir=%s;", info.cardir);
    appendFields(out, "physics=%s;", info.physics);
    appendFields(out, "shortid=%s;", info.shortid);
    appendFields(out, "year=%s;\n", info.year);
    out += "table_end;\n\n";
}

void SemikvWriter::replayInfo(const Weekend& weekend) {
    out_ += "table_start;table=Replay Info;\n";
    appendFields(out_.buffer(), "saver=%s %s;\n", weekend.saverName, weekend.saverVersion);
    out_ += "table_end;\n\n";
}

void SemikvWriter::eventInfo(const Event& event) {
    out_ += "table_start;table=Event Info;\n";
    appendFields(out_.buffer(), "track=%s;", event.track);
    appendFields(out_.buffer(), "carset=%s;\n", event.carset);
    out_ += "table_end;\n\n";
}

void SemikvWriter::entryList(const std::vector<const Entry*>& byNumber) {
    std::string& out = out_.buffer();
    out += "table_start;table=Entry List;\n";
    bool lineOpen = false;
    for (const Entry* entry : byNumber) {
        appendFields(out, "startnum=%s;", entry->number);
        appendFields(out, "team=%s;", entry->team);
        appendFields(out, "chassis=%s;", entry->chassis);
        appendFields(out, "engine=%s;", entry->engine);
        appendFields(out, "year=%s;", entry->year);
        // The line feed belongs to each driver's remark: a second driver
        // starts a new line, an entry without drivers runs on into the next.
        int k = 0;
        for (const Driver& driver : entry->drivers) {
            ++k;
            appendFields(out, "driver%d_name=%s;", k, displayName(driver));
            appendFields(out, "driver%d_nat=%s;", k, driver.nat);
            appendFields(out, "driver%d_remark=%s;\n", k, driver.remark);
        }
        lineOpen = entry->drivers.empty();
        out_.endRow();
    }
    // A driverless last entry must not take the end marker onto its line.
    if (lineOpen) out_ += "\n";
    out_ += "table_end;\n\n";
}

// The fields that open every row of a result table.
void SemikvWriter::place(int pos, const Entry& entry, std::int32_t driverId) {
    std::string& out = out_.buffer();
    appendFields(out, "pos=%d;", pos);
    appendFields(out, "startnum=%s;", entry.number);
    appendFields(out, "drivername=%s;", displayName(entry.drivers.find(driverId)));
}

void SemikvWriter::bestLaps(std::string_view title, const std::vector<BestLapResult>& rows) {
    if (rows.empty()) return;
    out_ += "table_start;table=";
    out_ += title;
    out_ += ";\n";
    int pos = 0;
    for (const BestLapResult& r : rows) {
        place(++pos, entries_.find(r.carId), r.driverId);
        std::string& out = out_.buffer();
        appendFields(out, "laptime=%s;", formatLapTime(r.lapTime));
        appendFields(out, "gap=%s;", formatLapTime(r.gap));
        appendFields(out, "lap=%s;clock=%s;", r.lap, formatLapTime(r.clock));
        appendFields(out, "lapsvalid=%s;lapstotal=%s;remark=%s;\n", r.lapsValid, r.lapsTotal, lapRemark(r.flags));
        out_.endRow();
    }
    out_ += "table_end;\n\n";
}

void SemikvWriter::practiceResults(const SessionReport&, const std::vector<BestLapResult>& rows) {
    bestLaps("Practice Results", rows);
}

void SemikvWriter::fastestLaps(const SessionReport&, const std::vector<BestLapResult>& rows) {
    bestLaps("Race Fastest Laps", rows);
}

void SemikvWriter::raceResults(const SessionReport&, const std::vector<RaceResult>& rows) {
    if (rows.empty()) return;
    out_ += "table_start;table=Race Results;\n";
    int pos = 0;
    for (const RaceResult& r : rows) {
        place(++pos, entries_.find(r.carId), r.driverId);
        std::string& out = out_.buffer();
        appendFields(out, "laps=%s;clock=%s;", r.laps, formatLapTime(r.clock));
        // Unlike the text table, diff has no leading "-" here.
        appendFields(out, "gap=%s;diff=%s;remark=%s;\n", formatLapTime(r.gap), formatLapTime(r.diff), raceRemark(r));
        out_.endRow();
    }
    out_ += "table_end;\n\n";
}

void SemikvWriter::lapListings(const std::vector<SessionReport>& sessions) {
    for (const SessionReport& s : sessions) {
        const std::string type = toString(s.session->type);
        for (const TimingEntry& car : s.session->timing.cars) {
            const std::int16_t carNumber = entries_.find(car.carId).number;
            std::string& out = out_.buffer();
            out += "table_start;table_type=laptimes;";
            appendFields(out, "table=Session %s (%s) Car %d laptimes;", s.number, type, carNumber);
            appendFields(out, "session=%d;startnum=%d;\n", s.number, carNumber);
            std::uint32_t prev = 0;
            std::size_t j = 0;
            for (const TimedLap& lap : car.laps) {
                // Unsigned difference: crossing 0 shows its own clock.
                appendFormat(out_.buffer(), "lap=%d;laptime=%s;clock=%s;remark=%s;\n", j++,
                             formatLapTime(lap.clock - prev), formatLapTime(lap.clock), lapRemark(lap.flags));
                prev = lap.clock;
                out_.endRow();
            }
            out_ += "table_end;\n\n";
        }
    }
}

void SemikvWriter::end() { out_ += semikv::end; }
