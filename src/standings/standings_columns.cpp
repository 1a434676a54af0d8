#include "standings/standings_columns.h"

#include <array>

namespace {

using C = Cell;
using DriverRow = StandingRow<DriverStanding>;
using DriverRound = StandingRound<DriverStanding>;
using TeamRow = StandingRow<TeamStanding>;
using TeamRound = StandingRound<TeamStanding>;

template <class Round>
constexpr Column<Round> roundColumn = {"round", nullptr, nullptr,
                                       [](const Round& r) { return C::integer(r.standings.rounds[r.i].number); }};

RoundResult result(const DriverRound& r) { return r.standing.in(r.i); }

const std::string& nameOf(const DriverStanding& d) { return d.driver; }
const std::string& nameOf(const TeamStanding& t) { return t.team; }

// Position, name and points; the name under the keys given.
template <class Standing>
std::array<Column<StandingRow<Standing>>, 3> rowColumns(const char* name, const char* semikvName) {
    using Row = StandingRow<Standing>;
    return {{{"position", "position", "pos", [](const Row& r) { return C::integer(r.position); }},
             {name, name, semikvName, [](const Row& r) { return C::name(nameOf(r.standing)); }},
             {"points", "points", "points", [](const Row& r) { return C::integer(r.standing.points); }}}};
}

const auto driverRow = rowColumns<DriverStanding>("driver", "drivername");
const auto teamRow = rowColumns<TeamStanding>("team", "team");

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

const Column<TeamRound> teamRound[] = {
    roundColumn<TeamRound>,
    {"points", "points", "points",
     [](const TeamRound& r) {
         const std::optional<std::int64_t> points = r.standing.in(r.i);
         return points ? C::integer(*points) : C();
     }},
};

} // namespace

const Columns<DriverRow> driverStandingColumns = driverRow;
const Columns<DriverRound> driverRoundColumns = driverRound;
const Columns<TeamRow> teamStandingColumns = teamRow;
const Columns<TeamRound> teamRoundColumns = teamRound;
