// The cells of the standings tables as text and the page show them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "season/standings.h"

// A row of a standings table as text shows it: the name, the points and a
// cell per round.
struct StandingsRow {
    std::string name;
    std::int64_t points = 0;
    std::vector<std::string> cells;
};
StandingsRow driverRow(const Standings& standings, const DriverStanding& driver);
// A team's cell is its points, "-" when none of its cars raced.
StandingsRow teamRow(const Standings& standings, const TeamStanding& team);
// Every row of a table at once.
std::vector<StandingsRow> driverRows(const Standings& standings);
std::vector<StandingsRow> teamRows(const Standings& standings);

// A round's cell of the drivers' table: "3/4" (position/points), "DNF" or
// "DSQ" (with "/points" when they are not 0), "-" when absent; a dropped
// round in brackets, "[3/4]".
std::string standingsCell(const RoundResult& result);
// "R" and the round's number.
std::string roundHeading(const RoundInfo& round);
