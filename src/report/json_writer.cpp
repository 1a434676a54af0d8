#include "report/json_writer.h"

#include "document/cells.h"
#include "document/json_document.h"
#include "report/report_columns.h"
#include "text/json_text.h"

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
            appendJsonFields(out_.buffer(), crossingColumns, CrossingRow{car, i, positions[c][i]});
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
