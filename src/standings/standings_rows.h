// The cells of the standings tables as text and the page show them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// A round's cell of the drivers' table: "3/4" (position/points), "DNF" or
// "DSQ" (with "/points" when they are not 0), "-" when absent; a dropped
// round in brackets, "[3/4]".
std::string standingsCell(const RoundResult& result);
// "R" and the round's number.
std::string roundHeading(const RoundInfo& round);

// The page's cell of a round of the drivers' table, in the classes that
// standingsPageStyle draws: the position with the points in small type, a
// podium place in its medal's colour, "DNF", "DSQ", "–" when absent, a
// dropped round's points in brackets and struck through; "FL" for the
// fastest-lap bonus, "pen" with the stewards' decision as its title.
void appendStandingsHtmlCell(std::string& out, const RoundResult& result, std::string_view penalty);
// The stewards' decision for the driver in round i of the standings, as
// the official result words it; empty for none.
std::string_view roundPenalty(const Standings& standings, std::size_t i, const std::string& driver);
