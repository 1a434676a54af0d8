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

extern const Columns<StandingRow<DriverStanding>> driverStandingColumns;
extern const Columns<StandingRound<DriverStanding>> driverRoundColumns;
extern const Columns<StandingRow<TeamStanding>> teamStandingColumns;
extern const Columns<StandingRound<TeamStanding>> teamRoundColumns;
