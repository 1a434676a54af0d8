// Timing of one session: every car's line crossings, the per-lap table of
// crossings, the best-lap tables and the race classification.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "weekend/item_list.h"

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

// A session's crossings in flat arrays (timing.cpp), shared by the copies of
// its SessionTiming: a replay can hold tens of millions of them. The lists
// below are views of it, valid while a SessionTiming that holds it lives.
struct TimingTable;

// One car's crossings. laps[0] starts the first lap; laps[i] ends lap i.
class LapList : public ItemList<LapList, TimedLap> {
public:
    LapList() = default;
    LapList(const std::uint32_t* clocks, const std::uint8_t* flags, std::size_t size)
        : clocks_(clocks), flags_(flags), size_(size) {}
    std::size_t size() const { return size_; }
    TimedLap operator[](std::size_t i) const { return TimedLap{clocks_[i], flags_[i]}; }

private:
    const std::uint32_t* clocks_ = nullptr;
    const std::uint8_t* flags_ = nullptr;
    std::size_t size_ = 0;
};

// All crossings of one car.
struct TimingEntry {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    LapList laps;
    std::int16_t number = 0; // in the entry list; breaks ties
};

// The cars of a session, in replay order.
class TimingCars : public ItemList<TimingCars, TimingEntry> {
public:
    TimingCars() = default;
    explicit TimingCars(std::shared_ptr<const TimingTable> table) : table_(std::move(table)) {}
    std::size_t size() const;
    TimingEntry operator[](std::size_t car) const;

private:
    std::shared_ptr<const TimingTable> table_;
};

// One crossing as placed in the per-lap table. Ordered by lap, then clock,
// then car number; cars equal in all three in replay order.
struct TimingCell {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::uint32_t lap = 0;
    std::uint32_t clock = 0;
    std::uint8_t flags = 0;
    std::int16_t number = 0;
    std::uint32_t car = 0; // index in SessionTiming::cars

    bool operator==(const TimingCell&) const = default;
    friend std::strong_ordering operator<=>(const TimingCell& a, const TimingCell& b) {
        if (auto c = a.lap <=> b.lap; c != 0) return c;
        if (auto c = a.clock <=> b.clock; c != 0) return c;
        if (auto c = a.number <=> b.number; c != 0) return c;
        return a.car <=> b.car;
    }
};

// Row i of the per-lap table: one cell per car that has a crossing with
// index i, in the order the cars crossed.
class TimingRow : public ItemList<TimingRow, TimingCell> {
public:
    TimingRow(const TimingTable* table, std::size_t lap, std::size_t first, std::size_t size)
        : table_(table), lap_(lap), first_(first), size_(size) {}
    std::size_t size() const { return size_; }
    TimingCell operator[](std::size_t position) const;

private:
    const TimingTable* table_;
    std::size_t lap_;
    std::size_t first_;
    std::size_t size_;
};

// The per-lap table, one row per crossing index: as many rows as the car
// with the most crossings has.
class TimingCells : public ItemList<TimingCells, TimingRow> {
public:
    TimingCells() = default;
    explicit TimingCells(std::shared_ptr<const TimingTable> table) : table_(std::move(table)) {}
    std::size_t size() const;
    TimingRow operator[](std::size_t lap) const;

private:
    std::shared_ptr<const TimingTable> table_;
};

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
    TimingCars cars;   // in replay order
    TimingCells cells; // of these cars
};

// Collects a session's crossings car by car straight into the flat arrays;
// the per-lap table is placed from them when first read. About 9 bytes per
// crossing, and no copy of them on the way.
class SessionTimingBuilder {
public:
    SessionTimingBuilder();
    void reserve(std::size_t cars, std::size_t crossings);
    void addCar(std::int32_t carId, std::int32_t driverId, std::int16_t number);
    // A crossing of the car added last.
    void addLap(TimedLap lap);
    // Call once, at the end.
    SessionTiming build();

private:
    std::shared_ptr<TimingTable> table_;
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
// Each car's place at its first crossing of the line (from 1), by car id;
// of cars sharing an id, the first to cross (ids of a hostile replay may
// be chosen to collide in a hash table).
std::map<std::int32_t, std::uint32_t> startingPlaces(const SessionTiming& timing);
