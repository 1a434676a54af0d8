// The report's tables as column lists (document/columns.h): what the JSON,
// CSV and semikv writers lay out. Text and HTML lay out by hand.
#pragma once

#include <cstddef>
#include <cstdint>

#include "document/columns.h"
#include "report/report.h"

// A car's row of a result table; position 0 for a car without a time.
struct BestLapRow {
    int position = 0;
    const Entry& entry;
    const BestLapResult& result;
};

struct RaceRow {
    int position = 0;
    const Entry& entry;
    const RaceResult& result;
};

// Crossing lap of car, its place among the cars that completed it.
struct CrossingRow {
    const TimingEntry& car;
    std::size_t lap = 0;
    std::uint32_t position = 0;
};

extern const Columns<BestLapRow> bestLapColumns;
extern const Columns<RaceRow> raceColumns;
extern const Columns<CrossingRow> crossingColumns;
// The entry list: an entry's columns, then each driver's.
extern const Columns<Entry> entryColumns;
extern const Columns<Driver> driverColumns;
