// Timing of one session: every car's line crossings, the per-lap table of
// crossings, the best-lap tables and the race classification.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

// Bits of a timed lap's flag byte.
struct LapFlag {
    static constexpr std::uint8_t offTrack = 0x40;
    static constexpr std::uint8_t invalid = 0x10;
    static constexpr std::uint8_t unknown = 0x01;
};

// Marks a missing time (gap, difference).
inline constexpr std::uint32_t noTime = 0x80000001u;

// One line crossing of one car.
struct TimedLap {
    std::uint32_t clock = 0; // session clock, ms
    std::uint8_t flags = 0;  // LapFlag bits
    bool operator==(const TimedLap&) const = default;
};

// All crossings of one car. laps[0] starts the first lap; laps[i] ends lap i.
struct TimingEntry {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::vector<TimedLap> laps;
    std::int16_t number = 0; // in the entry list; breaks ties
    bool operator==(const TimingEntry&) const = default;
};

// One crossing as placed in the per-lap table. Ordered by lap, then clock,
// then car number; the rows keep cars equal in all three in replay order.
struct TimingCell {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::uint32_t lap = 0;
    std::uint32_t clock = 0;
    std::uint8_t flags = 0;
    std::int16_t number = 0;

    bool operator==(const TimingCell&) const = default;
    friend std::weak_ordering operator<=>(const TimingCell& a, const TimingCell& b) {
        if (auto c = a.lap <=> b.lap; c != 0) return c;
        if (auto c = a.clock <=> b.clock; c != 0) return c;
        return a.number <=> b.number;
    }
};

// Row i holds one cell per car that has a crossing with index i, in the
// order the cars crossed.
using TimingCells = std::vector<std::vector<TimingCell>>;

// One car's fastest valid lap; lapTime 0 (and lap, clock, gap 0) when it
// has no time.
struct BestLapResult {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::uint32_t lap = 0;
    std::uint32_t lapTime = 0;
    std::uint32_t clock = 0;
    std::int32_t gap = 0;
    std::uint32_t lapsValid = 0;
    std::uint32_t lapsTotal = 0;
    std::uint8_t flags = 0; // of the best lap
    bool operator==(const BestLapResult&) const = default;
};

// One car in the race classification.
struct RaceResult {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::uint32_t laps = 0;
    std::uint32_t clock = 0;
    std::int32_t gap = 0;
    std::int32_t diff = 0;
    bool retired = false; // stopped before the winner finished
    std::uint32_t lapsBehind = 0;  // crossings fewer than the winner's
    std::uint32_t bestLapTime = 0; // the car's fastest valid lap; 0 when none
    bool operator==(const RaceResult&) const = default;
};

struct SessionTiming {
    std::vector<TimingEntry> cars; // in replay order
    TimingCells cells;             // of these cars, as `of` places them

    // Places each car's crossings in the per-lap table.
    static SessionTiming of(std::vector<TimingEntry> cars);
};

// The cars with a valid lap, fastest first, with their gaps to the fastest.
// Equal laps: the earlier one set first, then the lower car number, then
// replay order. Of a car's own equal laps the latest one counts.
std::vector<BestLapResult> bestLapResults(const SessionTiming& timing);
// The cars that bestLapResults leaves out (no valid lap, or a best lap of
// 0 ms), in replay order, with lapTime 0 and their lap counts.
std::vector<BestLapResult> carsWithoutTime(const SessionTiming& timing);
// The race classification: most crossings first, then earliest crossing,
// then the order of the cells.
std::vector<RaceResult> raceResults(const SessionTiming& timing);
// The time of the lap that crossing i of the car ends, as an unsigned
// difference of clocks; crossing 0, which starts lap 1, gives its own clock.
inline std::uint32_t lapTimeAt(const TimingEntry& car, std::size_t i) {
    return car.laps[i].clock - (i == 0 ? 0 : car.laps[i - 1].clock);
}
// Every crossing's place among the cars that completed that crossing, from
// 1 (its cell's place in its row): positions[c][i] for crossing i of
// timing.cars[c].
std::vector<std::vector<std::uint32_t>> crossingPositions(const SessionTiming& timing);
