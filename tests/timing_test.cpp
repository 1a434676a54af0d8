#include "timing.h"

#include <gtest/gtest.h>

#include <list>
#include <stdexcept>

namespace {

// One recorded session built in memory: lap records are little-endian words
// held here for as long as the builder lives.
class LapData {
public:
    // A car with lap records made of (clock, high byte) pairs.
    LapData& flaggedCar(std::int32_t carId, const std::vector<std::pair<std::uint32_t, std::uint8_t>>& laps) {
        std::vector<std::uint32_t> words;
        for (auto [clock, high] : laps) words.push_back(clock | std::uint32_t(high) << 24);
        return rawCar(carId, words);
    }
    LapData& car(std::int32_t carId, const std::vector<std::uint32_t>& clocks) {
        return rawCar(carId, clocks);
    }
    LapData& rawCar(std::int32_t carId, const std::vector<std::uint32_t>& words) {
        std::vector<std::uint8_t>& bytes = storage_.emplace_back();
        for (std::uint32_t w : words)
            for (int shift = 0; shift < 32; shift += 8) bytes.push_back(std::uint8_t(w >> shift));
        rpy.cars.push_back(CarLaps{carId, LapTimes(bytes.data(), words.size())});
        return *this;
    }

    RpySession rpy;

private:
    std::list<std::vector<std::uint8_t>> storage_;
};

// One entry per car id, start number = car id + 100 unless given, one driver
// with id = car id * 10.
Entries entriesFor(const std::vector<std::int32_t>& carIds) {
    Entries entries;
    for (std::int32_t id : carIds) {
        Entry e;
        e.carId = id;
        e.number = static_cast<std::int16_t>(id + 100);
        Driver d;
        d.driverId = id * 10;
        e.drivers.push_back(d);
        entries.push_back(e);
    }
    return entries;
}

Session sessionOf(SessT type) {
    Session s;
    s.type = type;
    return s;
}

TimingGPL timingOf(const LapData& data, SessT type = SessT::RACE, Entries entries = entriesFor({1, 2, 3, 4, 5, 7})) {
    return TimingGPL(sessionOf(type), data.rpy, entries);
}

// The four-car race used by the result examples.
LapData fourCarRace() {
    LapData d;
    d.car(1, {10'000, 100'000, 190'000, 280'000});
    d.car(2, {10'500, 101'000, 192'000, 283'500});
    d.car(3, {11'000, 150'000, 290'000});
    d.car(4, {11'500, 110'000});
    return d;
}

const std::int32_t noTimeBits = static_cast<std::int32_t>(noTime);

} // namespace

TEST(TimingFormat, LayoutsAndReservedValue) {
    const std::vector<std::pair<std::uint32_t, const char*>> table = {
        {0, "0.000"},
        {999, "0.999"},
        {59'999, "59.999"},
        {60'000, "1:00.000"},
        {83'456, "1:23.456"},
        {3'599'999, "59:59.999"},
        {3'600'000, "1:00:00.000"},
        {3'723'004, "1:02:03.004"},
        {16'777'215, "4:39:37.215"},
        {90'000'000, "25:00:00.000"},
        {0x80000000u, "596:31:23.648"},
        {noTime, "-.---"},
        {4'294'967'295u, "1193:02:47.295"},
    };
    for (auto [ms, text] : table) EXPECT_EQ(formatLapTime(ms), text) << ms;
    // Signed gaps print as their bit pattern.
    EXPECT_EQ(formatLapTime(noTimeBits), "-.---");
    EXPECT_EQ(formatLapTime(std::int32_t(-1)), "1193:02:47.295");
    EXPECT_EQ(formatLapTime(std::int32_t(3'500)), "3.500");
}

TEST(TimingFlags, DecodedFromHighByteWithRemarks) {
    LapData d;
    d.flaggedCar(1, {{1'000, 0x50}, {2'000, 0x80}, {3'000, 0xFF}, {4'000, 0x00}, {5'000, 0x40}, {6'000, 0x01}});
    TimingGPL t = timingOf(d);
    const std::vector<TimedLap> expected = {
        {1'000, LapFlag::offTrack | LapFlag::invalid},
        {2'000, LapFlag::unknown},
        {3'000, LapFlag::offTrack | LapFlag::invalid | LapFlag::unknown},
        {4'000, 0},
        {5'000, LapFlag::offTrack},
        {6'000, LapFlag::unknown},
    };
    EXPECT_EQ(t.lapsOf(1), expected);

    EXPECT_EQ(lapRemark(0x50), "Off Track Invalid");
    EXPECT_EQ(lapRemark(LapFlag::unknown), "Unknown");
    EXPECT_EQ(lapRemark(0x51), "Off Track Invalid Unknown");
    EXPECT_EQ(lapRemark(0x00), "");
    EXPECT_EQ(lapRemark(LapFlag::offTrack | LapFlag::unknown), "Off Track Unknown");
}

TEST(TimingRead, EntriesAndDenseSortedRows) {
    LapData d;
    std::vector<std::uint32_t> twelve;
    for (std::uint32_t i = 0; i < 12; ++i) twelve.push_back(5'000 + i * 60'000);
    d.car(3, twelve);
    d.car(1, {}); // no records
    d.car(2, {4'000, 70'000});
    d.car(4, {4'000});                            // first crossing only, same clock as car 2
    d.rawCar(5, {0x40FFFFFFu});                   // clock is the low 24 bits
    TimingGPL t = timingOf(d, SessT::PRACTICE);

    ASSERT_EQ(t.timingEntries.size(), 5u);
    EXPECT_EQ(t.timingEntries[1].carId, 1);
    EXPECT_EQ(t.timingEntries[1].driverId, 10);
    EXPECT_TRUE(t.timingEntries[1].laps.empty());
    EXPECT_EQ(t.timingEntries[4].laps, (std::vector<TimedLap>{{16'777'215, LapFlag::offTrack}}));

    ASSERT_EQ(t.cells.size(), 12u);
    ASSERT_EQ(t.cells[0].size(), 4u); // car 1 has no cell anywhere
    // Cars 2 and 4 tie at 4.000 in either order, both before car 3.
    const std::int32_t tied[2] = {t.cells[0][0].carId, t.cells[0][1].carId};
    EXPECT_TRUE((tied[0] == 2 && tied[1] == 4) || (tied[0] == 4 && tied[1] == 2));
    EXPECT_EQ(t.cells[0][2], (TimingCell{3, 30, 0, 5'000, 0}));
    EXPECT_EQ(t.cells[0][3], (TimingCell{5, 50, 0, 0xFFFFFFu, LapFlag::offTrack}));
    ASSERT_EQ(t.cells[1].size(), 2u);
    EXPECT_EQ(t.cells[1][0].carId, 3);
    EXPECT_EQ(t.cells[1][1], (TimingCell{2, 20, 1, 70'000, 0}));
    for (std::size_t i = 2; i < 12; ++i) {
        ASSERT_EQ(t.cells[i].size(), 1u) << i;
        EXPECT_EQ(t.cells[i][0], (TimingCell{3, 30, std::uint32_t(i), twelve[i], 0}));
    }
}

TEST(TimingRead, KindAndConstructionFailures) {
    LapData d;
    d.car(1, {1'000, 61'000});
    EXPECT_EQ(timingOf(d, SessT::TESTING).kind, 0);
    EXPECT_EQ(timingOf(d, SessT::PRACTICE).kind, 0);
    EXPECT_EQ(timingOf(d, SessT::RACE).kind, 1);

    auto messageOf = [](auto&& build) -> std::string {
        try {
            build();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf([&] { timingOf(d, static_cast<SessT>(5)); }), "Unknown timing type");

    LapData unknownCar;
    unknownCar.car(1, {1'000}).car(-9, {2'000});
    EXPECT_EQ(messageOf([&] { timingOf(unknownCar); }), "No entry for car id -9");

    Entries noDriver = entriesFor({1});
    noDriver[0].drivers.clear();
    EXPECT_EQ(messageOf([&] { timingOf(d, SessT::RACE, noDriver); }), "No entry for car id 1");

    // The car check comes first: laps are read before the type is judged.
    EXPECT_EQ(messageOf([&] { timingOf(unknownCar, static_cast<SessT>(5)); }), "No entry for car id -9");
}

TEST(TimingResults, WorkedExampleRace) {
    TimingGPL t = timingOf(fourCarRace());
    const std::vector<RaceResult> expected = {
        {1, 10, 3, 270'000, 0, 0, ""},
        {2, 20, 3, 273'500, 3'500, 3'500, ""},
        {3, 30, 2, 280'000, 10'000, 98'000, ""},
        {4, 40, 1, 100'000, 10'000, 9'000, "DNF"},
    };
    EXPECT_EQ(t.raceResults(), expected);
}

TEST(TimingResults, WorkedExampleBestLaps) {
    TimingGPL t = timingOf(fourCarRace());
    const std::vector<BestLapResult> expected = {
        {1, 10, 3, 90'000, 280'000, 0, 3, 3, ""},
        {2, 20, 1, 90'500, 101'000, 500, 3, 3, ""},
        {4, 40, 1, 98'500, 110'000, 8'500, 1, 1, ""},
        {3, 30, 1, 139'000, 150'000, 49'000, 2, 2, ""},
    };
    EXPECT_EQ(t.bestLapResults(), expected);
    // Works the same for a practice session.
    EXPECT_EQ(timingOf(fourCarRace(), SessT::PRACTICE).bestLapResults(), expected);
}

TEST(TimingResults, LappedFinisherAndRetiredCars) {
    LapData d;
    d.car(1, {500, 100'000, 200'000, 300'000}); // winner
    d.car(2, {1'000, 150'000, 310'000});        // lapped, takes the flag after the winner
    d.car(3, {2'000, 120'000});                 // retires after one lap
    d.car(4, {0});                              // leads the first crossing, then stops
    TimingGPL t = timingOf(d);
    const std::vector<RaceResult> expected = {
        {1, 10, 3, 300'000, 0, 0, ""},
        {2, 20, 2, 310'000, 10'000, 110'000, ""},
        {3, 30, 1, 120'000, 20'000, 20'000, "DNF"},
        {4, 40, 0, 0, 0, noTimeBits, "DNF"},
    };
    EXPECT_EQ(t.raceResults(), expected);
}

TEST(TimingResults, BestLapEdgeCases) {
    LapData d;
    d.flaggedCar(1, {{1'000, 0}, {61'000, 0x10}, {121'000, 0x10}}); // all laps invalid
    d.car(2, {5'000, 5'000, 70'000});                        // a 0 ms lap
    d.flaggedCar(3, {{2'000, 0x10}, {62'000, 0x41}, {121'000, 0x10}, {200'000, 0}});
    TimingGPL t = timingOf(d);

    EXPECT_EQ(t.bestLap(t.timingEntries[0]), (BestLapResult{1, 10, 0, 0, 0, 0, 0, 0, "no time"}));
    // Invalid laps are counted in the total and never chosen; the first
    // crossing's flags don't count.
    EXPECT_EQ(t.bestLap(t.timingEntries[2]), (BestLapResult{3, 30, 1, 60'000, 62'000, -1, 2, 3, "Off Track Unknown"}));
    EXPECT_EQ(t.bestLapTime(t.timingEntries[2].laps), 60'000u);
    EXPECT_EQ(t.bestLapTime(t.timingEntries[0].laps), 0u);
    EXPECT_EQ(t.bestLapTime({}), 0u);

    // Car 1 has no time and car 2's best is 0 ms: only car 3 is ranked.
    const auto ranked = t.bestLapResults();
    ASSERT_EQ(ranked.size(), 1u);
    EXPECT_EQ(ranked[0].carId, 3);
    EXPECT_EQ(ranked[0].gap, 0);
}

TEST(TimingResults, EmptySessions) {
    LapData none;
    TimingGPL empty = timingOf(none);
    EXPECT_TRUE(empty.timingEntries.empty());
    EXPECT_TRUE(empty.cells.empty());
    EXPECT_TRUE(empty.bestLapResults().empty());
    EXPECT_TRUE(empty.raceResults().empty());
    EXPECT_TRUE(empty.raceResultsByCar().empty());
    EXPECT_EQ(empty.allLapTimesText(), "");
    EXPECT_EQ(empty.dumpText(), "");

    LapData noLaps;
    noLaps.car(1, {}).car(2, {});
    TimingGPL t = timingOf(noLaps);
    EXPECT_TRUE(t.cells.empty());
    EXPECT_TRUE(t.raceResults().empty());
    EXPECT_TRUE(t.bestLapResults().empty());
}

TEST(TimingResults, RaceResultsByCar) {
    LapData d = fourCarRace();
    d.car(5, {});
    TimingGPL t = timingOf(d);
    const std::vector<RaceResult> expected = {
        {1, 10, 3, 280'000, 0, 0, ""},
        {2, 20, 3, 283'500, 0, 3'500, ""},
        {3, 30, 2, 290'000, 0, 0, ""},
        {4, 40, 1, 110'000, 0, 0, "DNF"},
        {5, 50, 0, 0, 0, 0, "no laps DNF"},
    };
    EXPECT_EQ(t.raceResultsByCar(), expected);
}

TEST(TimingResults, RaceResultLapCountLimit) {
    TimingGPL t = timingOf(LapData{});
    TimingEntry entry{1, 10, std::vector<TimedLap>(32'768, TimedLap{1'000, 0})};
    EXPECT_EQ(t.raceResult(entry).laps, 32'767u);
    entry.laps.push_back(TimedLap{2'000, 0});
    try {
        t.raceResult(entry);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Conversion positive overflow");
    }
}

TEST(TimingListing, OneCar) {
    LapData d;
    d.flaggedCar(7, {{2'154, 0}, {85'610, 0}, {167'620, 0x40}});
    d.car(1, {});
    d.flaggedCar(2, {{3'000, 0x10}, {2'000, 0}});
    Entries entries = entriesFor({1, 2, 7});
    entries[2].number = 7;
    TimingGPL t = timingOf(d, SessT::PRACTICE, entries);

    EXPECT_EQ(t.lapTimesText(7),
              "Car number 7 laptimes\n"
              "  0:     2.154  \n"
              "  1:  1:23.456  \n"
              "  2:  1:22.010  Off Track\n"
              "\n");
    EXPECT_EQ(t.lapTimesText(1), "Car number 101 laptimes\n\n");
    // Flags of the first crossing show; a clock going backwards wraps.
    EXPECT_EQ(t.lapTimesText(2),
              "Car number 102 laptimes\n"
              "  0:     3.000  Invalid\n"
              "  1: 1193:02:46.296  \n"
              "\n");
    EXPECT_EQ(t.lapTimesText(99), "Car number 0 laptimes\n\n");
    EXPECT_TRUE(t.lapsOf(99).empty());
}

TEST(TimingListing, AllCarsEachWithOwnLaps) {
    // Two lap lists under one car id: each listing shows its own crossings,
    // under the number of the first entry with that id.
    LapData d;
    d.car(3, {1'000, 61'000});
    d.car(3, {2'000});
    TimingGPL t = timingOf(d);
    EXPECT_EQ(t.allLapTimesText(),
              "Car number 103 laptimes\n"
              "  0:     1.000  \n"
              "  1:  1:00.000  \n"
              "\n"
              "Car number 103 laptimes\n"
              "  0:     2.000  \n"
              "\n");
    std::string report = "before\n";
    t.appendAllLapTimes(report);
    EXPECT_EQ(report, "before\n" + t.allLapTimesText());
    EXPECT_EQ(t.lapsOf(3).size(), 2u);
}
