#include "standings/standings_writer.h"

#include "document/json_document.h"
#include "document/cells.h"
#include "text/json_text.h"

namespace {

class StandingsJsonWriter final : public StandingsWriter {
public:
    explicit StandingsJsonWriter(ReportStream& out) : out_(out) {}

    void begin() override { appendJsonStart(out_.buffer()); }
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override;
    void end() override { out_ += "\n}\n"; }

private:
    // "key": [ with one row per line, and the row's opening.
    void beginArray(const char* key);
    std::string& beginRow();
    void endArray();
    // "position", the name's key and "points" of a standings row.
    void rowStart(const char* nameKey, const std::string& name, std::int64_t points);

    ReportStream& out_;
    bool firstRow_ = true;
    int position_ = 0;
};

void appendOptional(std::string& out, bool present, std::int64_t value) {
    if (present) appendInteger(out, value);
    else out += "null";
}

void StandingsJsonWriter::beginArray(const char* key) {
    out_ += ",\n  \"";
    out_ += key;
    out_ += "\": [";
    firstRow_ = true;
    position_ = 0;
}

std::string& StandingsJsonWriter::beginRow() {
    out_ += firstRow_ ? "\n    " : ",\n    ";
    firstRow_ = false;
    return out_.buffer();
}

void StandingsJsonWriter::endArray() { out_ += firstRow_ ? "]" : "\n  ]"; }

void StandingsJsonWriter::rowStart(const char* nameKey, const std::string& name, std::int64_t points) {
    std::string& out = beginRow();
    out += "{\"position\": ";
    appendInteger(out, ++position_);
    out += ", \"";
    out += nameKey;
    out += "\": ";
    appendJsonString(out, name);
    out += ", \"points\": ";
    appendInteger(out, points);
    out += ", \"results\": [";
}

void StandingsJsonWriter::season(const Standings& standings) {
    out_ += ",\n  \"season\": ";
    appendJsonString(out_.buffer(), standings.season);
    beginArray("rounds");
    for (const RoundInfo& round : standings.rounds) {
        std::string& out = beginRow();
        out += "{\"round\": ";
        appendInteger(out, round.number);
        out += ", \"replay\": ";
        appendJsonString(out, round.replay);
        out += ", \"track\": ";
        appendJsonString(out, round.track);
        out += "}";
    }
    endArray();
}

void StandingsJsonWriter::drivers(const Standings& standings) {
    beginArray("standings");
    for (const DriverStanding& d : standings.drivers) {
        rowStart("driver", d.driver, d.points);
        std::string& out = out_.buffer();
        for (std::size_t i = 0; i < d.results.size(); ++i) {
            const RoundResult& r = d.results[i];
            out += i == 0 ? "{\"round\": " : ", {\"round\": ";
            appendInteger(out, standings.rounds[i].number);
            out += ", \"position\": ";
            appendOptional(out, r.status == RoundStatus::CLASSIFIED, r.position);
            out += ", \"points\": ";
            appendInteger(out, r.points);
            out += ", \"status\": \"";
            out += statusName(r.status);
            out += r.dropped ? "\", \"dropped\": true" : "\", \"dropped\": false";
            out += r.fastestLap ? ", \"fastestLap\": true}" : ", \"fastestLap\": false}";
        }
        out += "]}";
        out_.endRow();
    }
    endArray();
}

void StandingsJsonWriter::teams(const Standings& standings) {
    beginArray("teams");
    for (const TeamStanding& t : standings.teams) {
        rowStart("team", t.team, t.points);
        std::string& out = out_.buffer();
        for (std::size_t i = 0; i < t.rounds.size(); ++i) {
            out += i == 0 ? "{\"round\": " : ", {\"round\": ";
            appendInteger(out, standings.rounds[i].number);
            out += ", \"points\": ";
            appendOptional(out, t.rounds[i].has_value(), t.rounds[i].value_or(0));
            out += "}";
        }
        out += "]}";
        out_.endRow();
    }
    endArray();
}

} // namespace

std::unique_ptr<StandingsWriter> standingsJsonWriter(ReportStream& out) {
    return std::make_unique<StandingsJsonWriter>(out);
}
