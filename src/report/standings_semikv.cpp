#include "report/standings_semikv.h"

#include "report/semikv_writer.h"

using semikv::appendFields;

void StandingsSemikvWriter::begin() { semikv::appendStart(out_.buffer()); }

void StandingsSemikvWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    out += "table_start;table=Season Info;\n";
    appendFields(out, "name=%s;rounds=%s;\n", standings.season, standings.rounds.size());
    out += "table_end;\n\n";
    out += "table_start;table=Rounds;\n";
    for (const RoundInfo& round : standings.rounds)
        appendFields(out, "round=%s;track=%s;replay=%s;\n", round.number, round.track, round.replay);
    out += "table_end;\n\n";
}

void StandingsSemikvWriter::drivers(const Standings& standings) {
    out_ += "table_start;table=Driver Standings;\n";
    int pos = 0;
    for (const DriverStanding& d : standings.drivers) {
        std::string& out = out_.buffer();
        appendFields(out, "pos=%s;drivername=%s;points=%s;", ++pos, d.driver, d.points);
        for (std::size_t i = 0; i < d.results.size(); ++i) {
            const RoundResult& r = d.results[i];
            const std::uint32_t n = standings.rounds[i].number;
            appendFields(out, "r%d_pos=%s;r%d_points=%s;", n,
                         r.status == RoundStatus::CLASSIFIED ? std::to_string(r.position) : std::string(), n,
                         r.status == RoundStatus::ABSENT ? std::string() : std::to_string(r.points));
            appendFields(out, "r%d_status=%s;r%d_dropped=%s;", n, statusName(r.status), n, r.dropped ? "true" : "false");
        }
        out += "\n";
        out_.endRow();
    }
    out_ += "table_end;\n\n";
}

void StandingsSemikvWriter::teams(const Standings& standings) {
    out_ += "table_start;table=Team Standings;\n";
    int pos = 0;
    for (const TeamStanding& t : standings.teams) {
        std::string& out = out_.buffer();
        appendFields(out, "pos=%s;team=%s;points=%s;", ++pos, t.team, t.points);
        for (std::size_t i = 0; i < t.rounds.size(); ++i)
            appendFields(out, "r%d_points=%s;", standings.rounds[i].number,
                         t.rounds[i] ? std::to_string(*t.rounds[i]) : std::string());
        out += "\n";
        out_.endRow();
    }
    out_ += "table_end;\n\n";
}

void StandingsSemikvWriter::end() { out_ += semikv::end; }
