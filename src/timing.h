// Timing and results of one session: timed laps per car, the per-lap table
// of line crossings, best-lap tables, the race classification and the one
// time formatter.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "data.h"
#include "rpylib.h"

// Bits of a timed lap's flag byte.
struct LapFlag {
    static constexpr std::uint8_t offTrack = 0x40;
    static constexpr std::uint8_t invalid = 0x10;
    static constexpr std::uint8_t unknown = 0x01;
};

// Marks a missing time (gap, difference); printed as "-.---".
inline constexpr std::uint32_t noTime = 0x80000001u;

// Remark of a flag byte: "Off Track", "Invalid", "Unknown" for the set bits,
// in that order, joined by one space; empty when none is set.
std::string lapRemark(std::uint8_t flags);

// The shortest of "h:mm:ss.fff", "m:ss.fff", "s.fff"; noTime gives "-.---".
std::string formatLapTime(std::uint32_t ms);
// Signed gaps and differences print as their unsigned bit pattern.
inline std::string formatLapTime(std::int32_t ms) {
    return formatLapTime(static_cast<std::uint32_t>(ms));
}

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

// One crossing as placed in the per-lap table. Ordered by lap, then clock;
// == compares every field.
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

// Row i holds one cell per car that has a crossing with index i.
using TimingCells = std::vector<std::vector<TimingCell>>;

// One car's fastest valid lap. Ordered by lapTime alone; == compares every
// field.
struct BestLapResult {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::uint32_t lap = 0;
    std::uint32_t lapTime = 0;
    std::uint32_t clock = 0;
    std::int32_t gap = 0;
    std::uint32_t lapsValid = 0;
    std::uint32_t lapsTotal = 0;
    std::string remark;

    bool operator==(const BestLapResult&) const = default;
    friend std::weak_ordering operator<=>(const BestLapResult& a, const BestLapResult& b) {
        return a.lapTime <=> b.lapTime;
    }
};

// One car in a race table. Ordered by laps descending, then clock ascending;
// == compares every field.
struct RaceResult {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::uint32_t laps = 0;
    std::uint32_t clock = 0;
    std::int32_t gap = 0;
    std::int32_t diff = 0;
    std::string remark;

    bool operator==(const RaceResult&) const = default;
    friend std::weak_ordering operator<=>(const RaceResult& a, const RaceResult& b) {
        if (auto c = b.laps <=> a.laps; c != 0) return c;
        return a.clock <=> b.clock;
    }
};

// The timing of one session. Complete once constructed; every result is
// computed afresh from timingEntries and cells.
class Timing {
public:
    virtual ~Timing() = default;
    Timing(const Timing&) = delete; // the entry index refers to this object's entries
    Timing& operator=(const Timing&) = delete;

    virtual TimingCells buildCells(const std::vector<TimingEntry>& list) const;
    virtual std::vector<BestLapResult> bestLapResults() const;
    virtual BestLapResult bestLap(const TimingEntry& entry) const;
    virtual std::uint32_t bestLapTime(const std::vector<TimedLap>& laps) const;
    // The race operations make sense for RACE sessions only.
    virtual std::vector<RaceResult> raceResults() const;
    virtual std::vector<RaceResult> raceResultsByCar() const;
    virtual RaceResult raceResult(const TimingEntry& entry) const;
    virtual std::vector<TimedLap> lapsOf(std::int32_t carId) const;
    virtual std::string lapTimesText(std::int32_t carId) const;
    virtual std::string allLapTimesText() const;
    // allLapTimesText appended to out.
    virtual void appendAllLapTimes(std::string& out) const;
    virtual std::string dumpText() const;

    Session session;
    Entries entries;
    std::int32_t kind = 0; // 0 testing/practice, 1 race
    std::vector<TimingEntry> timingEntries;
    TimingCells cells;

protected:
    Timing(const Session& sess, const Entries& ents) : session(sess), entries(ents), entryIndex(entries) {}
    // 0 or 1 from the session type; throws "Unknown timing type".
    static std::int32_t kindOf(SessT type);
    // Appends the listing of one timing entry: heading, one line per
    // crossing, blank line.
    void appendLapListing(std::string& out, const TimingEntry& entry) const;

    EntryIndex entryIndex;
};

// Timing built from Grand Prix Legends lap records.
class TimingGPL : public Timing {
public:
    TimingGPL(const Session& sess, const RpySession& rpySession, const Entries& ents);

    // Appends one timing entry per car and rebuilds the per-lap table.
    virtual void readLaps(const std::vector<CarLaps>& cars);
};
