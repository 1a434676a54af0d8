#include "weekend/timing.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace {

// Differences of clocks wrap like the game's unsigned counters; the signed
// fields keep the resulting bit pattern.
std::int32_t signedDiff(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b); }

// The car's fastest valid lap; lapTime 0 when it has none. The lap counts
// are set either way.
BestLapResult bestLap(const TimingEntry& entry) {
    BestLapResult best{entry.carId, entry.driverId};
    bool found = false;
    std::uint32_t valid = 0;
    std::uint32_t total = 0;
    std::uint32_t prev = 0;
    for (std::size_t i = 0; i < entry.laps.size(); ++i) {
        const TimedLap& lap = entry.laps[i];
        const std::uint32_t lapTime = lap.clock - prev;
        prev = lap.clock;
        if (i == 0) continue; // the first crossing only starts lap 1
        ++total;
        if (lap.flags & LapFlag::invalid) continue;
        ++valid;
        // <= : of equal laps the latest one counts
        if (!found || lapTime <= best.lapTime) {
            best = BestLapResult{entry.carId, entry.driverId, static_cast<std::uint32_t>(i), lapTime, lap.clock,
                                 -1, 0, 0, lap.flags};
            found = true;
        }
    }
    if (!found) best = BestLapResult{entry.carId, entry.driverId};
    best.lapsValid = valid;
    best.lapsTotal = total;
    return best;
}

// One car's crossing in a row of the per-lap table: rows are sorted by
// clock, cars crossing together by number, then in replay order.
struct RowCrossing {
    std::uint32_t clock;
    std::int16_t number;
    std::uint32_t car;
    auto operator<=>(const RowCrossing&) const = default;
};

} // namespace

struct TimingTable {
    struct Car {
        std::int32_t carId = 0;
        std::int32_t driverId = 0;
        std::size_t first = 0; // of its crossings in clocks and flags
        std::size_t count = 0;
        std::int16_t number = 0;
    };

    std::vector<Car> cars;
    std::vector<std::uint32_t> clocks;
    std::vector<std::uint8_t> flags;
    // The per-lap table, placed when first asked for: only the lap places
    // and the charts need it, and it costs a sort of every row.
    mutable std::once_flag placed;
    // The table, row after row, as indexes of cars.
    mutable std::vector<std::uint32_t> cells;
    // The cars' crossing counts in ascending order, and the sums of those
    // before each: enough to find any row, where a start for every row
    // would cost as much as the cells when one car holds all crossings.
    mutable std::vector<std::size_t> sortedCounts;
    mutable std::vector<std::size_t> countSums;

    std::size_t rows() const { return sortedCounts.empty() ? 0 : sortedCounts.back(); }
    // The crossings before row lap: of each car, at most lap.
    std::size_t rowStart(std::size_t lap) const {
        const auto shorter = static_cast<std::size_t>(
            std::lower_bound(sortedCounts.begin(), sortedCounts.end(), lap) - sortedCounts.begin());
        return countSums[shorter] + lap * (cars.size() - shorter);
    }
    // The cars with more than lap crossings.
    std::size_t rowSize(std::size_t lap) const {
        const auto longer = std::upper_bound(sortedCounts.begin(), sortedCounts.end(), lap);
        return static_cast<std::size_t>(sortedCounts.end() - longer);
    }
    std::uint32_t clockOf(std::size_t car, std::size_t lap) const { return clocks[cars[car].first + lap]; }

    // The table with its cells placed.
    const TimingTable& withCells() const {
        std::call_once(placed, [this] { placeCells(); });
        return *this;
    }

private:
    void placeCells() const;
};

void TimingTable::placeCells() const {
    sortedCounts.reserve(cars.size());
    for (const Car& car : cars) sortedCounts.push_back(car.count);
    std::sort(sortedCounts.begin(), sortedCounts.end());
    countSums.resize(cars.size() + 1);
    for (std::size_t k = 0; k < sortedCounts.size(); ++k) countSums[k + 1] = countSums[k] + sortedCounts[k];

    // Row by row over the cars that still have crossings, in replay order;
    // each row sorted by clock, cars crossing together by number, then in
    // replay order.
    std::vector<std::uint32_t> active;
    for (std::size_t c = 0; c < cars.size(); ++c)
        if (cars[c].count != 0) active.push_back(static_cast<std::uint32_t>(c));
    std::vector<RowCrossing> row;
    cells.reserve(clocks.size());
    for (std::size_t lap = 0; lap < rows(); ++lap) {
        if (active.size() != rowSize(lap))
            std::erase_if(active, [&](std::uint32_t c) { return cars[c].count <= lap; });
        row.clear();
        for (std::uint32_t c : active) row.push_back(RowCrossing{clockOf(c, lap), cars[c].number, c});
        std::sort(row.begin(), row.end());
        for (const RowCrossing& cell : row) cells.push_back(cell.car);
    }
}

std::size_t TimingCars::size() const { return table_ ? table_->cars.size() : 0; }

TimingEntry TimingCars::operator[](std::size_t car) const {
    const TimingTable::Car& c = table_->cars[car];
    return TimingEntry{c.carId, c.driverId,
                       LapList(table_->clocks.data() + c.first, table_->flags.data() + c.first, c.count), c.number};
}

TimingCell TimingRow::operator[](std::size_t position) const {
    const std::uint32_t car = table_->cells[first_ + position];
    const TimingTable::Car& c = table_->cars[car];
    const std::size_t at = c.first + lap_;
    return TimingCell{c.carId, c.driverId, static_cast<std::uint32_t>(lap_), table_->clocks[at], table_->flags[at],
                      c.number, car};
}

std::size_t TimingCells::size() const { return table_ ? table_->withCells().rows() : 0; }

TimingRow TimingCells::operator[](std::size_t lap) const {
    const TimingTable& table = table_->withCells();
    return TimingRow(&table, lap, table.rowStart(lap), table.rowSize(lap));
}

SessionTimingBuilder::SessionTimingBuilder() : table_(std::make_shared<TimingTable>()) {}

void SessionTimingBuilder::reserve(std::size_t cars, std::size_t crossings) {
    table_->cars.reserve(cars);
    table_->clocks.reserve(crossings);
    table_->flags.reserve(crossings);
}

void SessionTimingBuilder::addCar(std::int32_t carId, std::int32_t driverId, std::int16_t number) {
    // Cells hold car indexes in 32 bits.
    if (table_->cars.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("Too many cars");
    table_->cars.push_back(TimingTable::Car{carId, driverId, table_->clocks.size(), 0, number});
}

void SessionTimingBuilder::addLap(TimedLap lap) {
    table_->clocks.push_back(lap.clock);
    table_->flags.push_back(lap.flags);
    ++table_->cars.back().count;
}

SessionTiming SessionTimingBuilder::build() {
    std::shared_ptr<const TimingTable> table = std::move(table_);
    return SessionTiming{TimingCars(table), TimingCells(table)};
}

std::vector<BestLapResult> bestLapResults(const SessionTiming& timing) {
    struct Ranked {
        BestLapResult result;
        std::int16_t number;
    };
    std::vector<Ranked> ranked;
    for (const TimingEntry& entry : timing.cars) {
        BestLapResult r = bestLap(entry);
        if (r.lapTime != 0) ranked.push_back({r, entry.number});
    }
    // Stable: cars equal in all three keep replay order.
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.result.lapTime != b.result.lapTime) return a.result.lapTime < b.result.lapTime;
        if (a.result.clock != b.result.clock) return a.result.clock < b.result.clock;
        return a.number < b.number;
    });
    std::vector<BestLapResult> results;
    results.reserve(ranked.size());
    for (const Ranked& r : ranked) results.push_back(r.result);
    if (!results.empty()) {
        const std::uint32_t fastest = results.front().lapTime;
        for (BestLapResult& r : results) r.gap = signedDiff(r.lapTime, fastest);
    }
    return results;
}

std::vector<BestLapResult> carsWithoutTime(const SessionTiming& timing) {
    std::vector<BestLapResult> results;
    for (const TimingEntry& entry : timing.cars) {
        BestLapResult r = bestLap(entry);
        if (r.lapTime != 0) continue;
        results.push_back(BestLapResult{entry.carId, entry.driverId, 0, 0, 0, 0, r.lapsValid, r.lapsTotal, 0});
    }
    return results;
}

std::vector<RaceResult> raceResults(const SessionTiming& timing) {
    const TimingCars& cars = timing.cars;
    std::vector<RaceResult> results;
    // The cars by crossing count, most first: the cars of row j of the
    // per-lap table (those with more than j crossings) are a prefix. Only
    // the rows where some car crossed for the last time are laid out,
    // without the whole table.
    std::vector<std::uint32_t> byCount;
    std::vector<std::size_t> counts(cars.size());
    for (std::size_t c = 0; c < cars.size(); ++c) {
        counts[c] = cars[c].laps.size();
        if (counts[c] != 0) byCount.push_back(static_cast<std::uint32_t>(c));
    }
    if (byCount.empty()) return results;
    std::stable_sort(byCount.begin(), byCount.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return counts[a] > counts[b]; });
    auto clockAt = [&](std::uint32_t car, std::size_t j) { return cars[car].laps[j].clock; };

    std::uint32_t startClock = clockAt(byCount.front(), 0);
    for (std::uint32_t c : byCount) startClock = std::min(startClock, clockAt(c, 0));
    const std::size_t winnerRow = counts[byCount.front()] - 1;
    std::uint32_t winnerClock = clockAt(byCount.front(), winnerRow);
    for (std::size_t k = 0; k < byCount.size() && counts[byCount[k]] > winnerRow; ++k)
        winnerClock = std::min(winnerClock, clockAt(byCount[k], winnerRow));

    // A car is classified once per car id, which several cars may share.
    // Ids are ranked through a sorted list: a hostile replay may hold many
    // thousands of cars, with ids chosen to collide in a hash table.
    std::vector<std::int32_t> ids;
    ids.reserve(cars.size());
    for (const TimingEntry& car : cars) ids.push_back(car.carId);
    std::vector<std::int32_t> sortedIds = ids;
    std::sort(sortedIds.begin(), sortedIds.end());
    sortedIds.erase(std::unique(sortedIds.begin(), sortedIds.end()), sortedIds.end());
    std::vector<std::size_t> idRank(ids.size());
    for (std::size_t c = 0; c < ids.size(); ++c)
        idRank[c] = static_cast<std::size_t>(std::lower_bound(sortedIds.begin(), sortedIds.end(), ids[c]) -
                                             sortedIds.begin());
    std::vector<bool> classified(sortedIds.size());

    // Most crossings first, then earliest crossing: each car is met in the
    // row of its last crossing, where only the ids not classified yet count.
    std::vector<RowCrossing> row;
    for (std::size_t end = 0; end < byCount.size();) {
        const std::size_t j = counts[byCount[end]] - 1;
        while (end < byCount.size() && counts[byCount[end]] == j + 1) ++end;
        row.clear();
        for (std::size_t k = 0; k < end; ++k)
            row.push_back(RowCrossing{clockAt(byCount[k], j), cars[byCount[k]].number, byCount[k]});
        std::sort(row.begin(), row.end());
        for (std::size_t p = 0; p < row.size(); ++p) {
            const RowCrossing& cell = row[p];
            if (classified[idRank[cell.car]]) continue;
            const TimingEntry car = cars[cell.car];

            RaceResult r;
            r.carId = car.carId;
            r.driverId = car.driverId;
            r.laps = static_cast<std::uint32_t>(j);
            r.lapsBehind = static_cast<std::uint32_t>(winnerRow - j);
            // The car met first for its id: the one with the most crossings,
            // then the one its last row places first.
            r.bestLapTime = bestLap(car).lapTime;
            r.clock = cell.clock - startClock;
            r.gap = signedDiff(cell.clock, winnerClock);
            if (j == winnerRow) {
                r.diff = signedDiff(cell.clock, p == 0 ? winnerClock : row[p - 1].clock);
            } else {
                if (r.gap < 0) {
                    // Stopped before the winner finished: measure against the
                    // first car that completed as many crossings.
                    r.gap = signedDiff(cell.clock, row.front().clock);
                    r.retired = true;
                }
                r.diff = p == 0 ? static_cast<std::int32_t>(noTime) : signedDiff(cell.clock, row[p - 1].clock);
            }
            results.push_back(r);
            classified[idRank[cell.car]] = true;
        }
    }
    return results;
}

std::vector<std::vector<std::uint32_t>> crossingPositions(const SessionTiming& timing) {
    std::vector<std::vector<std::uint32_t>> positions(timing.cars.size());
    for (std::size_t c = 0; c < timing.cars.size(); ++c) positions[c].resize(timing.cars[c].laps.size());
    for (std::size_t lap = 0; lap < timing.cells.size(); ++lap) {
        const TimingRow row = timing.cells[lap];
        for (std::size_t p = 0; p < row.size(); ++p) positions[row[p].car][lap] = static_cast<std::uint32_t>(p + 1);
    }
    return positions;
}

std::map<std::int32_t, std::uint32_t> startingPlaces(const SessionTiming& timing) {
    std::map<std::int32_t, std::uint32_t> places;
    if (timing.cells.empty()) return places;
    const TimingRow first = timing.cells[0];
    for (std::size_t p = 0; p < first.size(); ++p) places.try_emplace(first[p].carId, static_cast<std::uint32_t>(p + 1));
    return places;
}
