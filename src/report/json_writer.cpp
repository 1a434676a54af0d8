#include "report/json_writer.h"

#include "document/cells.h"
#include "document/row_buffer.h"
#include "document/json_document.h"
#include "text/json_text.h"

namespace {

// A time as text, which never needs escaping.
void appendTime(std::string& out, std::uint32_t ms) {
    out += '"';
    out += formatLapTime(ms);
    out += '"';
}
void appendTime(std::string& out, std::int32_t ms) { appendTime(out, static_cast<std::uint32_t>(ms)); }

void appendMs(std::string& out, std::uint32_t ms) { appendMilliseconds(out, ms, "null"); }
void appendMs(std::string& out, std::int32_t ms) { appendMilliseconds(out, ms, "null"); }

// "number": .., "driver": .., "team": .. of a result row.
void appendCar(std::string& out, const Entry& entry, std::int32_t driverId) {
    out += ", \"number\": ";
    appendInteger(out, entry.number);
    out += ", \"driver\": ";
    appendJsonString(out, displayName(entry.drivers.find(driverId)));
    out += ", \"team\": ";
    appendJsonString(out, entry.team);
}

} // namespace

void JsonWriter::begin(const Weekend&) { appendJsonStart(out_.buffer()); }

void JsonWriter::carset(const CarsetInfo& info) {
    std::string& out = out_.buffer();
    out += ",\n  \"carset\": {\"name\": ";
    appendJsonString(out, info.name);
    out += ", \"carDir\": ";
    appendJsonString(out, info.cardir);
    out += ", \"physics\": ";
    appendJsonString(out, info.physics);
    out += ", \"shortId\": ";
    appendJsonString(out, info.shortid);
    out += ", \"year\": ";
    appendInteger(out, info.year);
    out += "}";
}

void JsonWriter::noCarset() { out_ += ",\n  \"carset\": null"; }

void JsonWriter::replayInfo(const Weekend& weekend) {
    out_ += ",\n  \"replay\": {\"saver\": ";
    appendJsonString(out_.buffer(), weekend.saverName + " " + weekend.saverVersion);
    out_ += "}";
}

void JsonWriter::eventInfo(const Event& event) {
    std::string& out = out_.buffer();
    out += ",\n  \"event\": {\"track\": ";
    appendJsonString(out, event.track);
    out += ", \"carset\": ";
    appendJsonString(out, event.carset);
    out += "}";
}

void JsonWriter::entryList(const std::vector<const Entry*>& byNumber) {
    out_ += ",\n  \"entries\": [";
    const char* separator = "\n    ";
    for (const Entry* entry : byNumber) {
        std::string& out = out_.buffer();
        out += separator;
        separator = ",\n    ";
        out += "{\"number\": ";
        appendInteger(out, entry->number);
        out += ", \"team\": ";
        appendJsonString(out, entry->team);
        out += ", \"chassis\": ";
        appendJsonString(out, entry->chassis);
        out += ", \"engine\": ";
        appendJsonString(out, entry->engine);
        out += ", \"year\": ";
        appendInteger(out, entry->year);
        out += ", \"drivers\": [";
        const char* driverSeparator = "";
        for (const Driver& driver : entry->drivers) {
            out += driverSeparator;
            driverSeparator = ", ";
            out += "{\"name\": ";
            appendJsonString(out, displayName(driver));
            out += ", \"nationality\": ";
            appendJsonString(out, driver.nat);
            out += ", \"remark\": ";
            appendJsonString(out, driver.remark);
            out += "}";
        }
        out += "]}";
        out_.endRow();
    }
    out_ += byNumber.empty() ? "]" : "\n  ]";
}

void JsonWriter::beginSessions() { out_ += ",\n  \"sessions\": ["; }

void JsonWriter::beginSession(const SessionReport& session) {
    out_ += firstSession_ ? "\n    {\n      \"index\": " : ",\n    {\n      \"index\": ";
    firstSession_ = false;
    appendInteger(out_.buffer(), static_cast<std::int64_t>(session.number));
    out_ += ",\n      \"type\": \"";
    out_ += sessionTypeName(session.session->type);
    out_ += "\"";
}

void JsonWriter::beginTable(const char* key) {
    out_ += ",\n      \"";
    out_ += key;
    out_ += "\": [";
    firstRow_ = true;
}

void JsonWriter::beginRow() {
    out_ += firstRow_ ? "\n        " : ",\n        ";
    firstRow_ = false;
}

void JsonWriter::endTable() { out_ += firstRow_ ? "]" : "\n      ]"; }

void JsonWriter::bestLapRow(int position, const BestLapResult& r) {
    beginRow();
    std::string& out = out_.buffer();
    // A car without a time: its times read "-.---" and null.
    const bool timed = r.lapTime != 0;
    const std::uint32_t lapTime = timed ? r.lapTime : noTime;
    const std::uint32_t gap = timed ? static_cast<std::uint32_t>(r.gap) : noTime;
    const std::uint32_t clock = timed ? r.clock : noTime;
    out += "{\"position\": ";
    if (timed)
        appendInteger(out, position);
    else
        out += "null";
    appendCar(out, entries_.find(r.carId), r.driverId);
    out += ", \"lapTime\": ";
    appendTime(out, lapTime);
    out += ", \"gap\": ";
    appendTime(out, gap);
    out += ", \"lap\": ";
    if (timed)
        appendInteger(out, r.lap);
    else
        out += "null";
    out += ", \"clock\": ";
    appendTime(out, clock);
    out += ", \"validLaps\": ";
    appendInteger(out, r.lapsValid);
    out += ", \"totalLaps\": ";
    appendInteger(out, r.lapsTotal);
    out += ", \"remark\": ";
    appendJsonString(out, timed ? lapRemark(r.flags) : "no time");
    out += ", \"lapTimeMs\": ";
    appendMs(out, lapTime);
    out += ", \"gapMs\": ";
    appendMs(out, gap);
    out += ", \"clockMs\": ";
    appendMs(out, clock);
    out += "}";
    out_.endRow();
}

void JsonWriter::practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) {
    beginTable("results");
    int position = 0;
    for (const BestLapResult& r : rows) bestLapRow(++position, r);
    // The text report leaves these out; here every car of the session shows.
    for (const BestLapResult& r : carsWithoutTime(session.session->timing)) bestLapRow(0, r);
    endTable();
}

void JsonWriter::fastestLaps(const SessionReport&, const std::vector<BestLapResult>& rows) {
    beginTable("fastestLaps");
    int position = 0;
    for (const BestLapResult& r : rows) bestLapRow(++position, r);
    endTable();
}

void JsonWriter::raceResults(const SessionReport&, const std::vector<RaceResult>& rows) {
    beginTable("classification");
    int position = 0;
    for (const RaceResult& r : rows) {
        beginRow();
        std::string& out = out_.buffer();
        out += "{\"position\": ";
        appendInteger(out, ++position);
        appendCar(out, entries_.find(r.carId), r.driverId);
        out += ", \"laps\": ";
        appendInteger(out, r.laps);
        out += ", \"time\": ";
        appendTime(out, r.clock);
        out += ", \"gap\": ";
        appendTime(out, r.gap);
        out += ", \"diff\": ";
        appendTime(out, r.diff);
        out += ", \"remark\": \"";
        out += raceRemark(r);
        out += "\", \"timeMs\": ";
        appendMs(out, r.clock);
        out += ", \"gapMs\": ";
        appendMs(out, r.gap);
        out += ", \"diffMs\": ";
        appendMs(out, r.diff);
        out += ", \"lapsBehind\": ";
        appendInteger(out, r.lapsBehind);
        out += r.retired ? ", \"status\": \"retired\"" : ", \"status\": \"finished\"";
        out += ", \"bestLapMs\": ";
        if (r.bestLapTime == 0)
            out += "null";
        else
            appendInteger(out, r.bestLapTime);
        out += "}";
        out_.endRow();
    }
    endTable();
}

void JsonWriter::sessionLaps(const SessionReport& session) {
    const SessionTiming& timing = session.session->timing;
    const std::vector<std::vector<std::uint32_t>> positions = crossingPositions(timing);
    beginTable("laps");
    for (std::size_t c = 0; c < timing.cars.size(); ++c) {
        const TimingEntry& car = timing.cars[c];
        const Entry& entry = entries_.find(car.carId);
        beginRow();
        std::string& out = out_.buffer();
        out += "{\"number\": ";
        appendInteger(out, entry.number);
        out += ", \"driver\": ";
        appendJsonString(out, displayName(entry.drivers.find(car.driverId)));
        out += ", \"crossings\": [";
        RowBuffer row;
        for (std::size_t i = 0; i < car.laps.size(); ++i) {
            const TimedLap& lap = car.laps[i];
            const std::uint32_t lapTime = lapTimeAt(car, i);
            if (i != 0) row << ",";
            row << "\n          {\"lap\": ";
            row.integer(i) << ", \"lapTime\": \"";
            row.time(lapTime) << "\", \"clock\": \"";
            row.time(lap.clock) << "\", \"remark\": \"";
            row.text(lapRemark(lap.flags)) << "\", \"lapTimeMs\": ";
            row.milliseconds(lapTime, "null") << ", \"clockMs\": ";
            row.milliseconds(lap.clock, "null") << ", \"position\": ";
            row.integer(positions[c][i]) << ", \"offTrack\": ";
            row.boolean(lap.flags & LapFlag::offTrack) << ", \"invalid\": ";
            row.boolean(lap.flags & LapFlag::invalid) << "}";
            row.appendTo(out_.buffer());
            out_.endRow();
        }
        out_ += car.laps.empty() ? "]}" : "\n        ]}";
    }
    endTable();
}

void JsonWriter::endSession(const SessionReport& session) {
    if (laps_) sessionLaps(session);
    out_ += "\n    }";
}

void JsonWriter::endSessions() { out_ += firstSession_ ? "]" : "\n  ]"; }

void JsonWriter::end() { out_ += "\n}\n"; }
