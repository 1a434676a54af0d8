// The bundled sample in examples/: it must be byte for byte what mksample
// writes today, and the replay must still hold the situations it is there to
// show (retirements, a lapped finisher, flagged laps, a car without a time).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "replay/replay_reader.h"
#include "testutil.h"
#include "collected_diagnostics.h"

namespace {

const std::string examples = std::string(GRIDTALLY_SOURCE_DIR) + "/examples/";

// Next to the gridtally binary, with the same extension (".exe" on Windows).
std::string mksamplePath() {
    const std::filesystem::path bin(GRIDTALLY_BIN);
    return (bin.parent_path() / ("mksample" + bin.extension().string())).string();
}

constexpr std::uint8_t offTrackBit = 0x40;
constexpr std::uint8_t invalidBit = 0x10;

// One car of a recorded session, its crossings copied out of the file.
struct Car {
    std::int32_t carId = 0;
    std::vector<LapRecord> laps;
};
using CarList = std::vector<Car>;

// Best valid lap of one car, 0 when it has none.
std::uint32_t bestValidLap(const std::vector<LapRecord>& laps) {
    std::uint32_t best = 0;
    for (std::size_t i = 1; i < laps.size(); ++i) {
        if (laps[i].flags() & invalidBit) continue;
        const std::uint32_t lap = laps[i].clock() - laps[i - 1].clock();
        if (best == 0 || lap < best) best = lap;
    }
    return best;
}

class SampleReplay : public ::testing::Test {
protected:
    SampleReplay() : file(examples + "monza67.rpy"), replay(readReplay(file, diagnostics)) {
        for (const ReplaySession& s : replay.sessions) {
            CarList& cars = sessions.emplace_back();
            for (const CarLapsRecord& record : s.cars) {
                Car& car = cars.emplace_back(Car{record.carId(), {}});
                for (std::size_t i = 0; i < record.lapCount(); ++i) car.laps.push_back(record.lap(i));
            }
        }
    }
    const ReplayFile file;
    CollectedDiagnostics diagnostics;
    const ReplayRecords replay;
    std::vector<CarList> sessions;
};

} // namespace

// Everything mksample writes, the season's files included.
const std::vector<std::string> generatedFiles{
    "monza67.rpy", "gem67.cst", "season/season.ini", "season/rounds/01-kyalami.rpy",
    "season/rounds/02-monaco.rpy", "season/rounds/03-zandvoort.rpy", "season/rounds/04-spa.rpy",
    "season/rounds/05-monza.rpy",
};

TEST(SampleGenerator, CommittedFilesAreWhatTheGeneratorWrites) {
    const std::string program = mksamplePath();
    ASSERT_TRUE(testutil::fileExists(program)) << program << " is missing: build the mksample target";
    for (const std::string& name : generatedFiles) {
        ASSERT_TRUE(testutil::fileExists(examples + name)) << name;
    }
    // Two runs into separate directories: the output must not drift between
    // runs nor from what is committed.
    for (int run = 0; run < 2; ++run) {
        testutil::TempDir dir;
        const auto out = dir.file("out");
        const auto r = testutil::runProgram(program, {"mksample", out});
        ASSERT_EQ(r.status, 0) << r.err;
        for (const std::string& name : generatedFiles) {
            EXPECT_TRUE(testutil::readFile(out + "/" + name) == testutil::readFile(examples + name))
                << "examples/" << name << " differs from the generator's output; regenerate with "
                << "mksample examples (see examples/README.md)";
        }
    }
}

TEST(SampleGenerator, WrongUsageWritesNothing) {
    const std::string program = mksamplePath();
    ASSERT_TRUE(testutil::fileExists(program)) << program << " is missing: build the mksample target";
    testutil::TempDir dir;
    testutil::RunOptions opts;
    opts.cwd = dir.path();
    const auto r = testutil::runProgram(program, {"mksample"}, opts);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: mksample <output-dir>"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(SampleReplay, WeekendOfPracticeAndRaceMatchingTheCarset) {
    EXPECT_EQ(gameOfVersion(file.version()), Game::GPL);
    EXPECT_EQ(replay.header.firstSession(), 0u);
    EXPECT_EQ(replay.header.lastSession(), 1u);
    const std::vector<SessionInfo> expected{{SessionCode::practice, 32767, 3600}, {SessionCode::race, 30, 604800}};
    EXPECT_EQ(replay.weekend.sessions(diagnostics), expected);
    EXPECT_TRUE(diagnostics.messages.empty());
    ASSERT_EQ(sessions.size(), 2u);

    EXPECT_EQ(replay.weekend.carset(), "gem67");
    const std::string carset = testutil::readFile(examples + "gem67.cst");
    EXPECT_NE(carset.find("\r\nCarDir=gem67\r\n"), std::string::npos);
    EXPECT_NE(carset.find("\r\nYear=1967\r\n"), std::string::npos);
    for (int car = 0; car < 7; ++car)
        EXPECT_NE(carset.find("[Car" + std::to_string(car) + "]"), std::string::npos) << car;
}

TEST_F(SampleReplay, FieldOfAllSevenMakesWithGemTagsAndAccentedNames) {
    const auto& drivers = replay.drivers;
    ASSERT_GE(drivers.size(), 15u);
    ASSERT_LE(drivers.size(), 20u);
    std::set<std::uint32_t> makes;
    std::set<std::int32_t> numbers, carIds, driverIds;
    std::vector<std::int32_t> listOrder;
    int accented = 0;
    for (const DriverRecord& d : drivers) {
        makes.insert(d.carIndex());
        numbers.insert(d.number());
        carIds.insert(d.carId());
        driverIds.insert(d.driverId());
        listOrder.push_back(d.number());
        EXPECT_LT(d.nationality(), 29u);
        EXPECT_EQ(d.tagIsText(), 0);
        EXPECT_EQ(d.tagByte(0), '1');
        EXPECT_EQ(d.tagByte(1), 82); // 1967
        std::string name = std::string(d.firstName()) + std::string(d.lastName());
        if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            ++accented;
    }
    EXPECT_EQ(makes, (std::set<std::uint32_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(numbers.size(), drivers.size());
    EXPECT_EQ(carIds.size(), drivers.size());
    EXPECT_EQ(driverIds.size(), drivers.size());
    EXPECT_FALSE(std::is_sorted(listOrder.begin(), listOrder.end()));
    EXPECT_GE(accented, 5);
}

TEST_F(SampleReplay, EveryCarRecordedWithRisingClocksAndNoTies) {
    std::set<std::int32_t> entered;
    for (const DriverRecord& d : replay.drivers) entered.insert(d.carId());
    for (const CarList& cars : sessions) {
        ASSERT_EQ(cars.size(), entered.size());
        std::map<std::size_t, std::set<std::uint32_t>> clocksAtCrossing;
        std::set<std::uint32_t> bestLaps;
        std::size_t withTime = 0;
        for (const Car& car : cars) {
            EXPECT_TRUE(entered.count(car.carId)) << car.carId;
            for (std::size_t i = 0; i < car.laps.size(); ++i) {
                if (i > 0) {
                    EXPECT_GT(car.laps[i].clock(), car.laps[i - 1].clock()) << car.carId << " " << i;
                }
                // Equal clocks at one crossing, or equal best laps, would
                // leave the report's order to the sort.
                EXPECT_TRUE(clocksAtCrossing[i].insert(car.laps[i].clock()).second) << car.carId << " " << i;
                EXPECT_EQ(car.laps[i].flags() & ~(offTrackBit | invalidBit), 0);
            }
            if (const std::uint32_t best = bestValidLap(car.laps)) {
                ++withTime;
                EXPECT_TRUE(bestLaps.insert(best).second) << car.carId;
            }
        }
        ASSERT_FALSE(bestLaps.empty());
        EXPECT_GE(*bestLaps.begin(), 87'000u);  // Monza in 1967 cars: high 1:20s
        EXPECT_LE(*bestLaps.begin(), 91'000u);
        EXPECT_LE(*bestLaps.rbegin(), 95'000u);
        EXPECT_GE(withTime, cars.size() - 1);
    }
}

TEST_F(SampleReplay, PracticeHasFlaggedLapsAndACarWithoutAValidLap) {
    const CarList& practice = sessions.at(0);
    int withoutTime = 0, offTrack = 0, invalid = 0;
    for (const Car& car : practice) {
        if (car.laps.size() > 1 && bestValidLap(car.laps) == 0) ++withoutTime;
        for (std::size_t i = 0; i < car.laps.size(); ++i) {
            offTrack += (car.laps[i].flags() & offTrackBit) != 0;
            invalid += (car.laps[i].flags() & invalidBit) != 0;
        }
        if (!car.laps.empty()) {
            EXPECT_LE(car.laps[car.laps.size() - 1].clock(), 3'600'000u) << car.carId;
        }
    }
    EXPECT_EQ(withoutTime, 1);
    EXPECT_GT(offTrack, 0);
    EXPECT_GT(invalid, 0);
}

TEST_F(SampleReplay, RaceHasRetirementsALappedFinisherAndFlaggedLaps) {
    const CarList& race = sessions.at(1);
    std::size_t crossings = 0;
    for (const Car& car : race) crossings = std::max(crossings, car.laps.size());
    ASSERT_EQ(crossings, 31u); // the start crossing and 30 laps

    std::uint32_t finish = 0xFFFFFF;
    for (const Car& car : race)
        if (car.laps.size() == crossings) finish = std::min(finish, car.laps[crossings - 1].clock());

    int onLeadLap = 0, lapped = 0, retired = 0, outOnLapOne = 0, offTrack = 0, invalid = 0;
    for (const Car& car : race) {
        ASSERT_FALSE(car.laps.empty()) << car.carId;
        const std::uint32_t last = car.laps[car.laps.size() - 1].clock();
        if (car.laps.size() == crossings) ++onLeadLap;
        else if (last > finish) ++lapped;
        else ++retired;
        if (car.laps.size() == 1) ++outOnLapOne;
        // A car takes the flag once: no crossing after its first one past
        // the winner's finish.
        for (std::size_t i = 0; i + 1 < car.laps.size(); ++i) EXPECT_LT(car.laps[i].clock(), finish) << car.carId;
        for (std::size_t i = 0; i < car.laps.size(); ++i) {
            offTrack += (car.laps[i].flags() & offTrackBit) != 0;
            invalid += (car.laps[i].flags() & invalidBit) != 0;
        }
    }
    EXPECT_GE(onLeadLap, 8);
    EXPECT_GE(lapped, 1);
    EXPECT_GE(retired, 2);
    EXPECT_EQ(outOnLapOne, 1);
    EXPECT_GT(offTrack, 0);
    EXPECT_GT(invalid, 0);
    EXPECT_LT(finish, 0xFFFFFFu);
}
