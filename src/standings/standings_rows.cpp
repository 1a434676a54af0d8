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

StandingsRow driverRow(const Standings& standings, const DriverStanding& driver) {
    StandingsRow row{driver.driver, driver.points, {}};
    row.cells.reserve(standings.rounds.size());
    for (std::size_t i = 0; i < standings.rounds.size(); ++i) row.cells.push_back(standingsCell(driver.in(i)));
    return row;
}

StandingsRow teamRow(const Standings& standings, const TeamStanding& team) {
    StandingsRow row{team.team, team.points, {}};
    row.cells.reserve(standings.rounds.size());
    for (std::size_t i = 0; i < standings.rounds.size(); ++i) {
        const std::optional<std::int64_t> points = team.in(i);
        row.cells.push_back(points ? std::to_string(*points) : std::string("-"));
    }
    return row;
}

std::vector<StandingsRow> driverRows(const Standings& standings) {
    std::vector<StandingsRow> rows;
    rows.reserve(standings.drivers.size());
    for (const DriverStanding& d : standings.drivers) rows.push_back(driverRow(standings, d));
    return rows;
}

std::vector<StandingsRow> teamRows(const Standings& standings) {
    std::vector<StandingsRow> rows;
    rows.reserve(standings.teams.size());
    for (const TeamStanding& t : standings.teams) rows.push_back(teamRow(standings, t));
    return rows;
}
