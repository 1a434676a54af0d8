// The standings tables as column lists (document/columns.h): a row's
// columns, then the columns of each of its rounds. Text and HTML lay out by
// hand.
#pragma once

#include <cstddef>

#include "document/columns.h"
#include "season/standings.h"

template <class Standing>
struct StandingRow {
    int position = 0;
    const Standing& standing;
};

// Round i of a row.
template <class Standing>
struct StandingRound {
    const Standings& standings;
    const Standing& standing;
    std::size_t i = 0;
};

// Walks a table: for each standing its row, then each of its rounds, then
// the row's end.
template <class Standing, class Row, class Round, class End>
void walkStandings(const Standings& standings, const std::vector<Standing>& rows, Row row, Round round, End end) {
    int position = 0;
    for (const Standing& standing : rows) {
        row(StandingRow<Standing>{++position, standing});
        for (std::size_t i = 0; i < standings.rounds.size(); ++i)
            round(StandingRound<Standing>{standings, standing, i});
        end();
    }
}

extern const Columns<StandingRow<DriverStanding>> driverStandingColumns;
extern const Columns<StandingRound<DriverStanding>> driverRoundColumns;
extern const Columns<StandingRow<TeamStanding>> teamStandingColumns;
extern const Columns<StandingRound<TeamStanding>> teamRoundColumns;
