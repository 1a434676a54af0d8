#include "report/standings_csv.h"

#include "report/report_cells.h"
#include "text/csv_text.h"
#include "text/format.h"

void StandingsCsvWriter::begin() { out_ += "\xEF\xBB\xBF"; }

void StandingsCsvWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    out += teams_ ? "position,team,points" : "position,driver,points";
    for (const RoundInfo& round : standings.rounds) {
        if (teams_) appendFormat(out, ",r%d_points", round.number);
        else appendFormat(out, ",r%d_position,r%d_points,r%d_status,r%d_dropped", round.number, round.number,
                          round.number, round.number);
    }
    out += "\n";
}

void StandingsCsvWriter::drivers(const Standings& standings) {
    if (teams_) return;
    int position = 0;
    for (const DriverStanding& d : standings.drivers) {
        std::string& out = out_.buffer();
        appendInteger(out, ++position);
        out += ',';
        appendCsvField(out, d.driver);
        out += ',';
        appendInteger(out, d.points);
        for (const RoundResult& r : d.results) {
            out += ',';
            if (r.status == RoundStatus::CLASSIFIED) appendInteger(out, r.position);
            out += ',';
            appendInteger(out, r.points);
            out += ',';
            out += statusName(r.status);
            out += r.dropped ? ",true" : ",false";
        }
        out += '\n';
        out_.endRow();
    }
}

void StandingsCsvWriter::teams(const Standings& standings) {
    if (!teams_) return;
    int position = 0;
    for (const TeamStanding& t : standings.teams) {
        std::string& out = out_.buffer();
        appendInteger(out, ++position);
        out += ',';
        appendCsvField(out, t.team);
        out += ',';
        appendInteger(out, t.points);
        for (const std::optional<std::int64_t>& points : t.rounds) {
            out += ',';
            if (points) appendInteger(out, *points);
        }
        out += '\n';
        out_.endRow();
    }
}
