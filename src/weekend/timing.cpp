#include "weekend/timing.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

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

// The car whose cell the classification meets first for each car id (two
// cars may share one): the one with the most crossings, then the one its
// last row places first.
std::unordered_map<std::int32_t, std::size_t> classifiedCars(const SessionTiming& timing) {
    auto before = [&timing](std::size_t a, std::size_t b) {
        const TimingEntry& x = timing.cars[a];
        const TimingEntry& y = timing.cars[b];
        if (x.laps.size() != y.laps.size()) return x.laps.size() > y.laps.size();
        if (x.laps.back().clock != y.laps.back().clock) return x.laps.back().clock < y.laps.back().clock;
        return x.number < y.number;
    };
    std::unordered_map<std::int32_t, std::size_t> cars;
    cars.reserve(timing.cars.size());
    for (std::size_t c = 0; c < timing.cars.size(); ++c) {
        if (timing.cars[c].laps.empty()) continue;
        auto [it, fresh] = cars.try_emplace(timing.cars[c].carId, c);
        if (!fresh && before(c, it->second)) it->second = c;
    }
    return cars;
}

} // namespace

SessionTiming SessionTiming::of(std::vector<TimingEntry> cars) {
    SessionTiming timing;
    timing.cars = std::move(cars);
    TimingCells& rows = timing.cells;
    for (const TimingEntry& entry : timing.cars) {
        if (rows.size() < entry.laps.size()) rows.resize(entry.laps.size());
        for (std::size_t i = 0; i < entry.laps.size(); ++i) {
            const TimedLap& lap = entry.laps[i];
            const auto lapIndex = static_cast<std::uint32_t>(i);
            rows[i].push_back(TimingCell{entry.carId, entry.driverId, lapIndex, lap.clock, lap.flags, entry.number});
        }
    }
    // Stable: cells were added in replay order.
    for (auto& row : rows) std::stable_sort(row.begin(), row.end());
    return timing;
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
    const TimingCells& cells = timing.cells;
    std::vector<RaceResult> results;
    if (cells.empty() || cells.front().empty()) return results;

    const std::uint32_t startClock = cells.front().front().clock;
    const std::size_t winnerRow = cells.size() - 1;
    const std::uint32_t winnerClock = cells[winnerRow].front().clock;

    // A set, not a list searched for every cell: a hostile replay may hold
    // many thousands of cars.
    std::unordered_set<std::int32_t> classified;
    classified.reserve(timing.cars.size());
    const std::unordered_map<std::int32_t, std::size_t> classifiedCar = classifiedCars(timing);

    for (std::size_t j = cells.size(); j-- > 0;) {
        const auto& row = cells[j];
        for (std::size_t p = 0; p < row.size(); ++p) {
            const TimingCell& cell = row[p];
            if (classified.count(cell.carId) != 0) continue;

            RaceResult r;
            r.carId = cell.carId;
            r.driverId = cell.driverId;
            r.laps = static_cast<std::uint32_t>(j);
            r.lapsBehind = static_cast<std::uint32_t>(winnerRow - j);
            r.bestLapTime = bestLap(timing.cars[classifiedCar.at(cell.carId)]).lapTime;
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
            classified.insert(cell.carId);
        }
    }
    return results;
}

std::vector<std::vector<std::uint32_t>> crossingPositions(const SessionTiming& timing) {
    const std::vector<TimingEntry>& cars = timing.cars;
    std::vector<std::vector<std::uint32_t>> positions(cars.size());
    // Every crossing, row after row, keyed as the rows order their cells:
    // clock, number, then replay order. One flat array: a row of its own
    // per crossing index would cost an allocation each.
    struct Crossing {
        std::uint32_t clock;
        std::int16_t number;
        std::uint32_t car;
    };
    std::vector<std::size_t> rowStart(timing.cells.size() + 1);
    for (std::size_t i = 0; i < timing.cells.size(); ++i) rowStart[i + 1] = rowStart[i] + timing.cells[i].size();
    std::vector<Crossing> crossings(rowStart.back());
    std::vector<std::size_t> rowEnd(rowStart.begin(), rowStart.end() - 1);
    for (std::size_t c = 0; c < cars.size(); ++c) {
        positions[c].resize(cars[c].laps.size());
        for (std::size_t i = 0; i < cars[c].laps.size(); ++i)
            crossings[rowEnd[i]++] = Crossing{cars[c].laps[i].clock, cars[c].number, static_cast<std::uint32_t>(c)};
    }
    for (std::size_t i = 0; i + 1 < rowStart.size(); ++i) {
        const auto first = crossings.begin() + static_cast<std::ptrdiff_t>(rowStart[i]);
        const auto last = crossings.begin() + static_cast<std::ptrdiff_t>(rowStart[i + 1]);
        std::sort(first, last, [](const Crossing& a, const Crossing& b) {
            if (a.clock != b.clock) return a.clock < b.clock;
            if (a.number != b.number) return a.number < b.number;
            return a.car < b.car;
        });
        for (auto it = first; it != last; ++it) positions[it->car][i] = static_cast<std::uint32_t>(it - first + 1);
    }
    return positions;
}
