#include "report/standings_json.h"

#include "report/report_cells.h"
#include "report/version.h"
#include "text/json_text.h"

namespace {

// Opens the next row of an array whose rows stand one per line.
void nextRow(std::string& out, bool& first) {
    out += first ? "\n    " : ",\n    ";
    first = false;
}

void endArray(ReportStream& out, bool empty) { out += empty ? "]" : "\n  ]"; }

} // namespace

void StandingsJsonWriter::begin() {
    out_ += "{\n  \"generator\": \"gridtally ";
    out_ += programVersion;
    out_ += "\"";
}

void StandingsJsonWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    out += ",\n  \"season\": ";
    appendJsonString(out, standings.season);
    out += ",\n  \"rounds\": [";
    bool first = true;
    for (const RoundInfo& round : standings.rounds) {
        nextRow(out, first);
        out += "{\"round\": ";
        appendInteger(out, round.number);
        out += ", \"replay\": ";
        appendJsonString(out, round.replay);
        out += ", \"track\": ";
        appendJsonString(out, round.track);
        out += "}";
    }
    endArray(out_, first);
}

void StandingsJsonWriter::drivers(const Standings& standings) {
    out_ += ",\n  \"standings\": [";
    bool first = true;
    int position = 0;
    for (const DriverStanding& d : standings.drivers) {
        std::string& out = out_.buffer();
        nextRow(out, first);
        out += "{\"position\": ";
        appendInteger(out, ++position);
        out += ", \"driver\": ";
        appendJsonString(out, d.driver);
        out += ", \"points\": ";
        appendInteger(out, d.points);
        out += ", \"results\": [";
        for (std::size_t i = 0; i < d.results.size(); ++i) {
            const RoundResult& r = d.results[i];
            out += i == 0 ? "{\"round\": " : ", {\"round\": ";
            appendInteger(out, standings.rounds[i].number);
            out += ", \"position\": ";
            if (r.status == RoundStatus::CLASSIFIED) appendInteger(out, r.position);
            else out += "null";
            out += ", \"points\": ";
            appendInteger(out, r.points);
            out += ", \"status\": \"";
            out += statusName(r.status);
            out += "\", \"dropped\": ";
            out += r.dropped ? "true" : "false";
            out += ", \"fastestLap\": ";
            out += r.fastestLap ? "true" : "false";
            out += "}";
        }
        out += "]}";
        out_.endRow();
    }
    endArray(out_, first);
}

void StandingsJsonWriter::teams(const Standings& standings) {
    out_ += ",\n  \"teams\": [";
    bool first = true;
    int position = 0;
    for (const TeamStanding& t : standings.teams) {
        std::string& out = out_.buffer();
        nextRow(out, first);
        out += "{\"position\": ";
        appendInteger(out, ++position);
        out += ", \"team\": ";
        appendJsonString(out, t.team);
        out += ", \"points\": ";
        appendInteger(out, t.points);
        out += ", \"results\": [";
        for (std::size_t i = 0; i < t.rounds.size(); ++i) {
            out += i == 0 ? "{\"round\": " : ", {\"round\": ";
            appendInteger(out, standings.rounds[i].number);
            out += ", \"points\": ";
            if (t.rounds[i]) appendInteger(out, *t.rounds[i]);
            else out += "null";
            out += "}";
        }
        out += "]}";
        out_.endRow();
    }
    endArray(out_, first);
}

void StandingsJsonWriter::end() { out_ += "\n}\n"; }
