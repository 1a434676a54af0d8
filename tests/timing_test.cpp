#include "weekend/timing.h"

#include <gtest/gtest.h>

#include "timed_cars.h"

namespace {

// A car's crossings at these clocks, without flags; its driver id is the car
// id * 10.
TimedCar car(std::int32_t carId, const std::vector<std::uint32_t>& clocks) {
    TimedCar e{carId, carId * 10, {}};
    for (std::uint32_t clock : clocks) e.laps.push_back(TimedLap{clock, 0});
    return e;
}

TimedCar flaggedCar(std::int32_t carId, std::vector<TimedLap> laps) { return {carId, carId * 10, std::move(laps)}; }

// The four-car race used by the result examples.
SessionTiming fourCarRace() {
    return timingOf({car(1, {10'000, 100'000, 190'000, 280'000}), car(2, {10'500, 101'000, 192'000, 283'500}),
                              car(3, {11'000, 150'000, 290'000}), car(4, {11'500, 110'000})});
}

const std::int32_t noTimeBits = static_cast<std::int32_t>(noTime);

// The cars of a timing as timingOf takes them.
std::vector<TimedCar> timedCars(const SessionTiming& t) {
    std::vector<TimedCar> cars;
    for (const TimingEntry& car : t.cars)
        cars.push_back({car.carId, car.driverId, {car.laps.begin(), car.laps.end()}, car.number});
    return cars;
}

} // namespace

TEST(TimingCells, EntriesAndDenseSortedRows) {
    std::vector<std::uint32_t> twelve;
    for (std::uint32_t i = 0; i < 12; ++i) twelve.push_back(5'000 + i * 60'000);
    const std::vector<TimedCar> cars = {
        car(3, twelve),
        car(1, {}),     // no crossings
        car(2, {4'000, 70'000}),
        car(4, {4'000}), // first crossing only, same clock as car 2
        flaggedCar(5, {{0xFFFFFFu, LapFlag::offTrack}}),
    };
    const SessionTiming t = timingOf(cars);
    EXPECT_EQ(timedCars(t), cars);

    ASSERT_EQ(t.cells.size(), 12u);
    ASSERT_EQ(t.cells[0].size(), 4u); // car 1 has no cell anywhere
    // Cars 2 and 4 tie at 4.000 with equal numbers: replay order, both
    // before car 3.
    EXPECT_EQ(t.cells[0][0].carId, 2);
    EXPECT_EQ(t.cells[0][1].carId, 4);
    EXPECT_EQ(t.cells[0][2], (TimingCell{3, 30, 0, 5'000, 0, 0, 0}));
    EXPECT_EQ(t.cells[0][3], (TimingCell{5, 50, 0, 0xFFFFFFu, LapFlag::offTrack, 0, 4}));
    ASSERT_EQ(t.cells[1].size(), 2u);
    EXPECT_EQ(t.cells[1][0].carId, 3);
    EXPECT_EQ(t.cells[1][1], (TimingCell{2, 20, 1, 70'000, 0, 0, 2}));
    for (std::size_t i = 2; i < 12; ++i) {
        ASSERT_EQ(t.cells[i].size(), 1u) << i;
        EXPECT_EQ(t.cells[i][0], (TimingCell{3, 30, std::uint32_t(i), twelve[i], 0, 0, 0}));
    }
}

TEST(TimingResults, WorkedExampleRace) {
    const std::vector<RaceResult> expected = {
        {1, 10, 3, 270'000, 0, 0, false, 0, 90'000},
        {2, 20, 3, 273'500, 3'500, 3'500, false, 0, 90'500},
        {3, 30, 2, 280'000, 10'000, 98'000, false, 1, 139'000},
        {4, 40, 1, 100'000, 10'000, 9'000, true, 2, 98'500},
    };
    EXPECT_EQ(raceResults(fourCarRace()), expected);
}

TEST(TimingResults, WorkedExampleBestLaps) {
    const std::vector<BestLapResult> expected = {
        {1, 10, 3, 90'000, 280'000, 0, 3, 3, 0},
        {2, 20, 1, 90'500, 101'000, 500, 3, 3, 0},
        {4, 40, 1, 98'500, 110'000, 8'500, 1, 1, 0},
        {3, 30, 1, 139'000, 150'000, 49'000, 2, 2, 0},
    };
    EXPECT_EQ(bestLapResults(fourCarRace()), expected);
}

TEST(TimingResults, LappedFinisherAndRetiredCars) {
    const SessionTiming t = timingOf({
        car(1, {500, 100'000, 200'000, 300'000}), // winner
        car(2, {1'000, 150'000, 310'000}),        // lapped, takes the flag after the winner
        car(3, {2'000, 120'000}),                 // retires after one lap
        car(4, {0}),                              // leads the first crossing, then stops
        car(5, {3'000, 300'000}),                 // crosses as the winner finishes: still running
    });
    const std::vector<RaceResult> expected = {
        {1, 10, 3, 300'000, 0, 0, false, 0, 99'500},
        {2, 20, 2, 310'000, 10'000, 110'000, false, 1, 149'000},
        {3, 30, 1, 120'000, 20'000, 20'000, true, 2, 118'000},
        {5, 50, 1, 300'000, 0, 150'000, false, 2, 297'000},
        {4, 40, 0, 0, 0, noTimeBits, true, 3, 0},
    };
    EXPECT_EQ(raceResults(t), expected);
}

TEST(TimingResults, BestLapEdgeCases) {
    constexpr std::uint8_t invalid = LapFlag::invalid;
    const SessionTiming t = timingOf({
        flaggedCar(1, {{1'000, 0}, {61'000, invalid}, {121'000, invalid}}), // all laps invalid
        car(2, {5'000, 5'000, 70'000}),                                      // a 0 ms lap
        // Invalid laps are counted in the total and never chosen; the first
        // crossing's flags don't count. Of equal laps the latest one counts.
        flaggedCar(3, {{2'000, invalid},
                       {62'000, LapFlag::offTrack | LapFlag::unknown},
                       {121'000, invalid},
                       {200'000, 0},
                       {260'000, LapFlag::offTrack}}),
    });
    // Car 1 has no time and car 2's best is 0 ms: only car 3 is ranked.
    const std::vector<BestLapResult> expected = {{3, 30, 4, 60'000, 260'000, 0, 3, 4, LapFlag::offTrack}};
    EXPECT_EQ(bestLapResults(t), expected);
    // The JSON report lists the other two after it, with their lap counts.
    const std::vector<BestLapResult> untimed = {{1, 10, 0, 0, 0, 0, 0, 2, 0}, {2, 20, 0, 0, 0, 0, 2, 2, 0}};
    EXPECT_EQ(carsWithoutTime(t), untimed);
}

// Equal times rank by the earlier clock, then the lower car number, then
// replay order: in the best-lap tables, the classification and the places
// of each crossing.
TEST(TimingResults, TieBreaks) {
    auto numbered = [](std::int32_t carId, std::int16_t number, const std::vector<std::uint32_t>& clocks) {
        TimedCar e = car(carId, clocks);
        e.number = number;
        return e;
    };
    struct Case {
        const char* rule;
        std::vector<TimedCar> cars;
        std::vector<std::int32_t> bestLapOrder; // car ids
        std::vector<std::int32_t> raceOrder;
        std::vector<std::uint32_t> lastPlaces; // of each car's last crossing, in replay order
    };
    const Case cases[] = {
        {"equal best laps: set first",
         {numbered(1, 1, {1'000, 91'000}), numbered(2, 2, {0, 90'000})},
         {2, 1}, {2, 1}, {2, 1}},
        {"equal laps and clock: lower number",
         {numbered(1, 7, {0, 90'000}), numbered(2, 3, {0, 90'000})},
         {2, 1}, {2, 1}, {2, 1}},
        {"equal numbers too: replay order",
         {numbered(1, 5, {0, 90'000}), numbered(2, 5, {0, 90'000}), numbered(3, 4, {0, 90'000})},
         {3, 1, 2}, {3, 1, 2}, {2, 3, 1}},
    };
    auto ids = [](const auto& rows) {
        std::vector<std::int32_t> order;
        for (const auto& r : rows) order.push_back(r.carId);
        return order;
    };
    for (const Case& c : cases) {
        const SessionTiming t = timingOf(c.cars);
        EXPECT_EQ(ids(bestLapResults(t)), c.bestLapOrder) << c.rule;
        EXPECT_EQ(ids(raceResults(t)), c.raceOrder) << c.rule;
        std::vector<std::uint32_t> lastPlaces;
        for (const auto& places : crossingPositions(t)) lastPlaces.push_back(places.back());
        EXPECT_EQ(lastPlaces, c.lastPlaces) << c.rule;
    }
}

// Two cars sharing an id (a hostile replay): each keeps its own places, and
// the classified one, the car with more crossings, its own best lap.
TEST(TimingResults, CarsSharingAnId) {
    const SessionTiming t = timingOf({car(1, {0, 100'000}), car(1, {500, 90'500, 180'000})});
    EXPECT_EQ(crossingPositions(t), (std::vector<std::vector<std::uint32_t>>{{1, 2}, {2, 1, 1}}));
    const std::vector<RaceResult> race = raceResults(t);
    ASSERT_EQ(race.size(), 1u);
    EXPECT_EQ(race[0].laps, 2u);
    EXPECT_EQ(race[0].bestLapTime, 89'500u);
}

TEST(TimingResults, EmptySessions) {
    for (const SessionTiming& t : {timingOf({}), timingOf({car(1, {}), car(2, {})})}) {
        EXPECT_TRUE(t.cells.empty());
        EXPECT_TRUE(bestLapResults(t).empty());
        EXPECT_TRUE(raceResults(t).empty());
    }
}

TEST(TimingCells, CopiesKeepTheTableTheyShare) {
    SessionTiming copy;
    {
        const SessionTiming original = fourCarRace();
        copy = original;
    }
    EXPECT_EQ(raceResults(copy), raceResults(fourCarRace()));
    ASSERT_EQ(copy.cars.size(), 4u);
    EXPECT_EQ(copy.cars[3].laps.back().clock, 110'000u);
    EXPECT_EQ(copy.cells[2].front().carId, 1);
}
