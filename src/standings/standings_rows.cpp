#include "standings/standings_rows.h"

#include "text/format.h"

std::string standingsCell(const RoundResult& result) {
    std::string cell;
    switch (result.status) {
    case RoundStatus::ABSENT: cell = "-"; break;
    case RoundStatus::CLASSIFIED: cell = formatText("%d/%d", result.position, result.points); break;
    case RoundStatus::NOT_CLASSIFIED:
    case RoundStatus::DISQUALIFIED:
        cell = result.status == RoundStatus::DISQUALIFIED ? "DSQ" : "DNF";
        if (result.points != 0) appendFormat(cell, "/%d", result.points);
        break;
    }
    return result.dropped ? "[" + cell + "]" : cell;
}

std::string roundHeading(const RoundInfo& round) { return formatText("R%d", round.number); }

std::vector<StandingsRow> driverRows(const Standings& standings) {
    std::vector<StandingsRow> rows;
    rows.reserve(standings.drivers.size());
    for (const DriverStanding& d : standings.drivers) {
        StandingsRow& row = rows.emplace_back(StandingsRow{d.driver, d.points, {}});
        for (const RoundResult& r : d.results) row.cells.push_back(standingsCell(r));
    }
    return rows;
}

std::vector<StandingsRow> teamRows(const Standings& standings) {
    std::vector<StandingsRow> rows;
    rows.reserve(standings.teams.size());
    for (const TeamStanding& t : standings.teams) {
        StandingsRow& row = rows.emplace_back(StandingsRow{t.team, t.points, {}});
        for (const std::optional<std::int64_t>& points : t.rounds)
            row.cells.push_back(points ? std::to_string(*points) : std::string("-"));
    }
    return rows;
}
