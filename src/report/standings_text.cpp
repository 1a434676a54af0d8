#include "report/standings_text.h"

#include "text/format.h"

void StandingsTextWriter::season(const Standings& standings) {
    out_ += "Season Info\n";
    appendFormat(out_.buffer(), "name      : %s\n", standings.season);
    appendFormat(out_.buffer(), "rounds    : %s\n\n", standings.rounds.size());
    out_ += "Round Track            Replay\n";
    for (const RoundInfo& round : standings.rounds)
        appendFormat(out_.buffer(), "%5s %-16s %s\n", round.number, round.track, round.replay);
    out_ += "\n";
}

void StandingsTextWriter::roundHeadings(const Standings& standings) {
    for (const RoundInfo& round : standings.rounds) appendFormat(out_.buffer(), " %7s", roundHeading(round));
    out_ += "\n";
}

void StandingsTextWriter::drivers(const Standings& standings) {
    out_ += "Drivers' Standings\n\n";
    out_ += "Pos Driver                  Points";
    roundHeadings(standings);
    int pos = 0;
    for (const DriverStanding& d : standings.drivers) {
        appendFormat(out_.buffer(), "%2d. %-23s %6s", ++pos, d.driver, d.points);
        for (const RoundResult& r : d.results) appendFormat(out_.buffer(), " %7s", standingsCell(r));
        out_ += "\n";
        out_.endRow();
    }
    out_ += "\n";
}

void StandingsTextWriter::teams(const Standings& standings) {
    out_ += "Teams' Standings\n\n";
    out_ += "Pos Team                           Points";
    roundHeadings(standings);
    int pos = 0;
    for (const TeamStanding& t : standings.teams) {
        appendFormat(out_.buffer(), "%2d. %-30s %6s", ++pos, t.team, t.points);
        for (const std::optional<std::int64_t>& points : t.rounds)
            appendFormat(out_.buffer(), " %7s", points ? std::to_string(*points) : std::string("-"));
        out_ += "\n";
        out_.endRow();
    }
    out_ += "\n";
}
