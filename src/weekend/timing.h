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
    bool operator==(const TimingEntry&) const = default;
};

// One crossing as placed in the per-lap table. Ordered by lap, then clock.
struct TimingCell {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::uint32_t lap = 0;
    std::uint32_t clock = 0;
    std::uint8_t flags = 0;

    bool operator==(const TimingCell&) const = default;
    friend std::weak_ordering operator<=>(const TimingCell& a, const TimingCell& b) {
        if (auto c = a.lap <=> b.lap; c != 0) return c;
        return a.clock <=> b.clock;
    }
};

// Row i holds one cell per car that has a crossing with index i, in the
// order the cars crossed.
using TimingCells = std::vector<std::vector<TimingCell>>;

// One car's fastest valid lap.
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
    bool operator==(const RaceResult&) const = default;
};

struct SessionTiming {
    std::vector<TimingEntry> cars; // in replay order
    TimingCells cells;

    // Places each car's crossings in the per-lap table.
    static SessionTiming of(std::vector<TimingEntry> cars);
};

// The cars with a valid lap, fastest first, with their gaps to the fastest.
std::vector<BestLapResult> bestLapResults(const SessionTiming& timing);
// The race classification: most crossings first, then earliest crossing.
std::vector<RaceResult> raceResults(const SessionTiming& timing);
