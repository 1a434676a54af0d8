#include "standings/standings_columns.h"

namespace {

using C = Cell;
using DriverRow = StandingRow<DriverStanding>;
using DriverRound = StandingRound<DriverStanding>;
using TeamRow = StandingRow<TeamStanding>;
using TeamRound = StandingRound<TeamStanding>;

template <class Row>
constexpr Column<Row> positionColumn = {"position", "position", "pos",
                                        [](const Row& r) { return C::integer(r.position); }};
template <class Row>
constexpr Column<Row> pointsColumn = {"points", "points", "points",
                                      [](const Row& r) { return C::integer(r.standing.points); }};
template <class Round>
constexpr Column<Round> roundColumn = {"round", nullptr, nullptr,
                                       [](const Round& r) { return C::integer(r.standings.rounds[r.i].number); }};

const RoundResult& result(const DriverRound& r) { return r.standing.results[r.i]; }

const Column<DriverRow> driverRow[] = {
    positionColumn<DriverRow>,
    {"driver", "driver", "drivername", [](const DriverRow& r) { return C::string(r.standing.driver); }},
    pointsColumn<DriverRow>,
};

const Column<DriverRound> driverRound[] = {
    roundColumn<DriverRound>,
    {"position", "position", "pos",
     [](const DriverRound& r) {
         return result(r).status == RoundStatus::CLASSIFIED ? C::integer(result(r).position) : C();
     }},
    {"points", "points", "points", [](const DriverRound& r) { return C::integer(result(r).points); }},
    {"status", "status", "status", [](const DriverRound& r) { return C::string(statusName(result(r).status)); }},
    {"dropped", "dropped", "dropped", [](const DriverRound& r) { return C::boolean(result(r).dropped); }},
    {"fastestLap", nullptr, nullptr, [](const DriverRound& r) { return C::boolean(result(r).fastestLap); }},
};

const Column<TeamRow> teamRow[] = {
    positionColumn<TeamRow>,
    {"team", "team", "team", [](const TeamRow& r) { return C::string(r.standing.team); }},
    pointsColumn<TeamRow>,
};

const Column<TeamRound> teamRound[] = {
    roundColumn<TeamRound>,
    {"points", "points", "points",
     [](const TeamRound& r) {
         const std::optional<std::int64_t>& points = r.standing.rounds[r.i];
         return points ? C::integer(*points) : C();
     }},
};

} // namespace

const Columns<DriverRow> driverStandingColumns = driverRow;
const Columns<DriverRound> driverRoundColumns = driverRound;
const Columns<TeamRow> teamStandingColumns = teamRow;
const Columns<TeamRound> teamRoundColumns = teamRound;
