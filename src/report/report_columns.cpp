#include "report/report_columns.h"

#include "document/cells.h"

namespace {

using C = Cell;

// The car of a result row.
template <class Row>
constexpr Column<Row> carColumns[] = {
    {"number", "number", "startnum", [](const Row& r) { return C::integer(r.entry.number); }},
    {"driver", "driver", "drivername",
     [](const Row& r) { return C::name(displayName(r.entry.drivers.find(r.result.driverId))); }},
    {"team", "team", nullptr, [](const Row& r) { return C::name(r.entry.team); }},
};

template <class Row>
constexpr Column<Row> positionColumn = {"position", "position", "pos",
                                        [](const Row& r) { return r.position != 0 ? C::integer(r.position) : C(); }};

// A car without a time: its times read "-.---", their milliseconds and its
// lap are missing.
bool timed(const BestLapRow& r) { return r.result.lapTime != 0; }
std::uint32_t lapTime(const BestLapRow& r) { return timed(r) ? r.result.lapTime : noTime; }
std::uint32_t gap(const BestLapRow& r) { return timed(r) ? static_cast<std::uint32_t>(r.result.gap) : noTime; }
std::uint32_t clock(const BestLapRow& r) { return timed(r) ? r.result.clock : noTime; }

const Column<BestLapRow> bestLap[] = {
    positionColumn<BestLapRow>,
    carColumns<BestLapRow>[0],
    carColumns<BestLapRow>[1],
    carColumns<BestLapRow>[2],
    {"lapTime", "lap_time", "laptime", [](const BestLapRow& r) { return C::time(lapTime(r)); }},
    {"gap", "gap", "gap", [](const BestLapRow& r) { return C::time(gap(r)); }},
    {"lap", "lap", "lap", [](const BestLapRow& r) { return timed(r) ? C::integer(r.result.lap) : C(); }},
    {"clock", "clock", "clock", [](const BestLapRow& r) { return C::time(clock(r)); }},
    {"validLaps", "valid_laps", "lapsvalid", [](const BestLapRow& r) { return C::integer(r.result.lapsValid); }},
    {"totalLaps", "total_laps", "lapstotal", [](const BestLapRow& r) { return C::integer(r.result.lapsTotal); }},
    {"remark", "remark", "remark",
     [](const BestLapRow& r) { return C::string(timed(r) ? lapRemark(r.result.flags) : "no time"); }},
    {"lapTimeMs", "lap_time_ms", nullptr, [](const BestLapRow& r) { return C::milliseconds(lapTime(r)); }},
    {"gapMs", "gap_ms", nullptr, [](const BestLapRow& r) { return C::milliseconds(gap(r)); }},
    {"clockMs", "clock_ms", nullptr, [](const BestLapRow& r) { return C::milliseconds(clock(r)); }},
};

const Column<RaceRow> race[] = {
    positionColumn<RaceRow>,
    carColumns<RaceRow>[0],
    carColumns<RaceRow>[1],
    carColumns<RaceRow>[2],
    {"laps", "laps", "laps", [](const RaceRow& r) { return C::integer(r.result.laps); }},
    {"time", "time", "clock", [](const RaceRow& r) { return C::time(r.result.clock); }},
    {"gap", "gap", "gap", [](const RaceRow& r) { return C::time(r.result.gap); }},
    {"diff", "diff", "diff", [](const RaceRow& r) { return C::time(r.result.diff); }},
    {"remark", "remark", "remark", [](const RaceRow& r) { return C::string(raceRemark(r.result)); }},
    {"timeMs", "time_ms", nullptr, [](const RaceRow& r) { return C::milliseconds(r.result.clock); }},
    {"gapMs", "gap_ms", nullptr, [](const RaceRow& r) { return C::milliseconds(r.result.gap); }},
    {"diffMs", "diff_ms", nullptr, [](const RaceRow& r) { return C::milliseconds(r.result.diff); }},
    {"lapsBehind", "laps_behind", nullptr, [](const RaceRow& r) { return C::integer(r.result.lapsBehind); }},
    {"status", "status", nullptr,
     [](const RaceRow& r) { return C::string(r.result.retired ? "retired" : "finished"); }},
    {"bestLapMs", "best_lap_ms", nullptr,
     [](const RaceRow& r) { return r.result.bestLapTime != 0 ? C::integer(r.result.bestLapTime) : C(); }},
};

TimedLap lapOf(const CrossingRow& r) { return r.car.laps[r.lap]; }

// CSV's lap rows; semikv and JSON write theirs by hand (semikv_writer.cpp,
// json_writer.cpp).
const Column<CrossingRow> crossing[] = {
    {nullptr, "lap", nullptr, [](const CrossingRow& r) { return C::integer(static_cast<std::int64_t>(r.lap)); }},
    {nullptr, "lap_time", nullptr, [](const CrossingRow& r) { return C::time(lapTimeAt(r.car, r.lap)); }},
    {nullptr, "clock", nullptr, [](const CrossingRow& r) { return C::time(lapOf(r).clock); }},
    {nullptr, "remark", nullptr, [](const CrossingRow& r) { return C::string(lapRemark(lapOf(r).flags)); }},
    {nullptr, "lap_time_ms", nullptr,
     [](const CrossingRow& r) { return C::milliseconds(lapTimeAt(r.car, r.lap)); }},
    {nullptr, "clock_ms", nullptr, [](const CrossingRow& r) { return C::milliseconds(lapOf(r).clock); }},
    {nullptr, "position", nullptr, [](const CrossingRow& r) { return C::integer(r.position); }},
    {nullptr, "off_track", nullptr,
     [](const CrossingRow& r) { return C::boolean(lapOf(r).flags & LapFlag::offTrack); }},
    {nullptr, "invalid", nullptr,
     [](const CrossingRow& r) { return C::boolean(lapOf(r).flags & LapFlag::invalid); }},
};

const Column<Entry> entry[] = {
    {"number", nullptr, "startnum", [](const Entry& e) { return C::integer(e.number); }},
    {"team", nullptr, "team", [](const Entry& e) { return C::name(e.team); }},
    {"chassis", nullptr, "chassis", [](const Entry& e) { return C::name(e.chassis); }},
    {"engine", nullptr, "engine", [](const Entry& e) { return C::name(e.engine); }},
    {"year", nullptr, "year", [](const Entry& e) { return C::integer(e.year); }},
};

const Column<Driver> driver[] = {
    {"name", nullptr, "name", [](const Driver& d) { return C::name(displayName(d)); }},
    {"nationality", nullptr, "nat", [](const Driver& d) { return C::name(d.nat); }},
    {"remark", nullptr, "remark", [](const Driver& d) { return C::name(d.remark); }},
};

} // namespace

const Columns<BestLapRow> bestLapColumns = bestLap;
const Columns<RaceRow> raceColumns = race;
const Columns<CrossingRow> crossingColumns = crossing;
const Columns<Entry> entryColumns = entry;
const Columns<Driver> driverColumns = driver;
