#include "report/json_writer.h"

#include <algorithm>
#include <charconv>

#include "document/cells.h"
#include "document/json_document.h"
#include "report/report_columns.h"
#include "text/json_text.h"

namespace {

// A crossing's fields, put together on the stack and appended in one piece
// (as semikv's lap lines): a report with every lap holds millions. Remarks
// need no escaping.
void appendCrossingFields(std::string& out, const TimingEntry& car, std::size_t lap, std::uint32_t position) {
    char row[320];
    char* p = row;
    auto put = [&p](std::string_view text) { p = std::copy(text.begin(), text.end(), p); };
    auto number = [&p](auto value) { p = std::to_chars(p, p + 20, value).ptr; };
    auto milliseconds = [&](std::uint32_t ms) {
        if (ms == noTime) put("null");
        else number(ms);
    };
    const std::uint32_t lapTime = lapTimeAt(car, lap);
    const TimedLap crossing = car.laps[lap];
    put("\"lap\": ");
    number(lap);
    put(", \"lapTime\": \"");
    p = writeLapTime(p, lapTime);
    put("\", \"clock\": \"");
    p = writeLapTime(p, crossing.clock);
    put("\", \"remark\": \"");
    put(lapRemarkText(crossing.flags));
    put("\", \"lapTimeMs\": ");
    milliseconds(lapTime);
    put(", \"clockMs\": ");
    milliseconds(crossing.clock);
    put(", \"position\": ");
    number(position);
    put((crossing.flags & LapFlag::offTrack) ? ", \"offTrack\": true" : ", \"offTrack\": false");
    put((crossing.flags & LapFlag::invalid) ? ", \"invalid\": true" : ", \"invalid\": false");
    out.append(row, p);
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
    const char* separator = "\n    {";
    for (const Entry* entry : byNumber) {
        std::string& out = out_.buffer();
        out += separator;
        separator = ",\n    {";
        appendJsonFields(out, entryColumns, *entry);
        out += ", \"drivers\": [";
        const char* driverSeparator = "{";
        for (const Driver& driver : entry->drivers) {
            out += driverSeparator;
            driverSeparator = ", {";
            appendJsonFields(out, driverColumns, driver);
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

template <class Row>
void JsonWriter::writeRow(Columns<Row> columns, const Row& row) {
    beginRow();
    out_ += "{";
    appendJsonFields(out_.buffer(), columns, row);
    out_ += "}";
    out_.endRow();
}

void JsonWriter::practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) {
    beginTable("results");
    int position = 0;
    for (const BestLapResult& r : rows) writeRow(bestLapColumns, BestLapRow{++position, entries_.find(r.carId), r});
    // The text report leaves these out; here every car of the session shows.
    for (const BestLapResult& r : carsWithoutTime(session.session->timing))
        writeRow(bestLapColumns, BestLapRow{0, entries_.find(r.carId), r});
    endTable();
}

void JsonWriter::fastestLaps(const SessionReport&, const std::vector<BestLapResult>& rows) {
    beginTable("fastestLaps");
    int position = 0;
    for (const BestLapResult& r : rows) writeRow(bestLapColumns, BestLapRow{++position, entries_.find(r.carId), r});
    endTable();
}

void JsonWriter::raceResults(const SessionReport&, const std::vector<RaceResult>& rows) {
    beginTable("classification");
    int position = 0;
    for (const RaceResult& r : rows) writeRow(raceColumns, RaceRow{++position, entries_.find(r.carId), r});
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
        for (std::size_t i = 0; i < car.laps.size(); ++i) {
            out_ += i == 0 ? "\n          {" : ",\n          {";
            appendCrossingFields(out_.buffer(), car, i, positions[c][i]);
            out_ += "}";
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
