// The weekend build: entries with names, years and remarks, the carset
// identification and the session list, on replays made by the builder.
#include "weekend/weekend_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "carset/carset.h"
#include "collected_diagnostics.h"
#include "cstbuilder.h"
#include "rpybuilder.h"
#include "testutil.h"

using namespace rpybuilder;

namespace {

// Builds the weekend of a replay, with its warnings and notices collected.
class WeekendBuild : public ::testing::Test {
protected:
    Weekend build(const ReplaySpec& spec) {
        diagnostics_.messages.clear();
        const ReplayFile file(writeReplay(dir_, "r.rpy", spec));
        return buildWeekend(file, carset_, diagnostics_);
    }

    std::string buildError(const ReplaySpec& spec) { return testutil::errorOf([&] { build(spec); }); }

    void useCarset(const cstbuilder::CarsetSpec& cst) {
        carset_.path = dir_.write("c.cst", cstbuilder::carsetBytes(cst));
    }

    // The messages as the command line prints them, one per line.
    std::string errText() const {
        std::string text;
        for (const std::string& m : diagnostics_.messages) text += m + "\n";
        return text;
    }

    testutil::TempDir dir_;
    CarsetChoice carset_;
    CollectedDiagnostics diagnostics_;
};

DriverSpec driver(std::int32_t carId, std::int32_t number, std::uint32_t carIndex = 0) {
    DriverSpec d;
    d.carId = carId;
    d.driverId = 100 + carId;
    d.number = number;
    d.carIndex = carIndex;
    d.tag = tagBytes(82, 3, 1);
    return d;
}

CarSpec car(std::int32_t carId, std::vector<std::uint32_t> laps) {
    CarSpec c;
    c.carId = carId;
    c.laps = std::move(laps);
    return c;
}

SessionSpec session(std::vector<CarSpec> cars) {
    SessionSpec s;
    s.cars = std::move(cars);
    return s;
}

} // namespace

TEST_F(WeekendBuild, ReplayIdentificationAndEvent) {
    ReplaySpec r;
    r.header.track = "Monza";
    r.header.saverName = "GPL";
    r.header.saverVersion = "1.2.0.2";
    r.header.word28 = 0xDEADBEEF;
    r.weekend.track = "monza";
    r.weekend.carset = "Gem+ 67 \xE9";
    r.root.version = 0x00002402; // low byte 2: version 2
    const Weekend d = build(r);
    EXPECT_EQ(d.version, 2u);
    EXPECT_EQ(d.track, "Monza");
    EXPECT_EQ(d.saverName, "GPL");
    EXPECT_EQ(d.saverVersion, "1.2.0.2");
    EXPECT_EQ(d.event.track, "monza");
    EXPECT_EQ(d.event.carset, "Gem+ 67 \xC3\xA9");
    EXPECT_FALSE(d.carset.has_value());
}

TEST_F(WeekendBuild, EntriesTakeNamesRemarksNationalitiesAndClasses) {
    ReplaySpec r;
    DriverSpec a = driver(1, 5, 5);
    a.firstName = "J\xFCrgen";
    a.lastName = "M\xFCller";
    a.nationality = 28;
    a.carClass = 3;
    a.byte138 = 1;
    DriverSpec b = driver(2, 12, 7);
    b.nationality = 29;
    b.carClass = 9;
    b.tag = "";
    b.tagIsText = 2;
    DriverSpec c = driver(3, 0, 300);
    c.carClass = 1;
    r.drivers = {a, b, c};
    const Weekend d = build(r);
    const Entries& es = d.event.entries;
    ASSERT_EQ(es.size(), 3u);
    EXPECT_EQ(es[0].number, 5);
    EXPECT_EQ(es[0].team, "Team Lotus");
    EXPECT_EQ(es[0].chassis, "Lotus 49");
    EXPECT_EQ(es[0].engine, "Ford DFV V8");
    EXPECT_EQ(es[0].carClass, "GP");
    EXPECT_EQ(es[0].year, 1967);
    ASSERT_EQ(es[0].drivers.size(), 1u);
    const Driver& da = es[0].drivers[0];
    EXPECT_EQ(da.driverId, 101);
    EXPECT_EQ(da.firstName, "J\xC3\xBCrgen");
    EXPECT_EQ(da.lastName, "M\xC3\xBCller");
    EXPECT_EQ(da.nat, "VEN");
    EXPECT_EQ(da.remark, "GEM+ 2.3.1");

    EXPECT_EQ(es[1].team, "unkTeam7");
    EXPECT_EQ(es[1].chassis, "unkMake7");
    EXPECT_EQ(es[1].engine, "unkEngine7");
    EXPECT_EQ(es[1].carClass, "cast(CarClass)9");
    EXPECT_EQ(es[1].drivers[0].nat, "");
    EXPECT_EQ(es[1].drivers[0].remark, "");

    EXPECT_EQ(es[2].team, "unkTeam44");
    EXPECT_EQ(es[2].carClass, "BT");
    EXPECT_EQ(errText(), "");
}

TEST_F(WeekendBuild, YearsAndTheYearWarning) {
    ReplaySpec r;
    DriverSpec y67 = driver(1, 1);                 // tag year 82: 1967
    DriverSpec y69 = driver(2, 2);                 // tag year 84: 1969
    y69.tag = tagBytes(84, 3, 1);
    DriverSpec plain = driver(3, 3);               // no coded tag: 1967
    plain.tag = "NOT A TAG";
    DriverSpec text1 = driver(4, 4);               // text tag: the carset year
    text1.tagIsText = 1;
    text1.tag = "some text";
    DriverSpec text2 = text1;
    text2.carId = 5;
    text2.number = 5;
    text2.tagIsText = 2;
    r.drivers = {y67, y69, plain, text1, text2};

    const Weekend d = build(r);
    const Entries& es = d.event.entries;
    EXPECT_EQ(es[0].year, 1967);
    EXPECT_EQ(es[1].year, 1969);
    EXPECT_EQ(es[2].year, 1967);
    EXPECT_EQ(es[3].year, 1967);
    EXPECT_EQ(es[4].year, 1967);
    EXPECT_EQ(es[2].drivers[0].remark, "");
    EXPECT_EQ(errText(), "Warning: entry #2 year 1969 doesn't match carset year 1967\n");
}

TEST_F(WeekendBuild, YearsAgainstACarsetYear) {
    cstbuilder::CarsetSpec cst;
    cst.name = "Gem 69";
    cst.year = "1969";
    useCarset(cst);
    ReplaySpec r;
    DriverSpec y67 = driver(1, 7);
    DriverSpec y69 = driver(2, 8);
    y69.tag = tagBytes(84, 3, 1);
    DriverSpec text1 = driver(3, 9);
    text1.tagIsText = 1;
    DriverSpec text2 = driver(4, 10);
    text2.tagIsText = 2;
    r.drivers = {y67, y69, text1, text2};
    const Weekend d = build(r);
    const Entries& es = d.event.entries;
    EXPECT_EQ(es[0].year, 1967);
    EXPECT_EQ(es[1].year, 1969);
    EXPECT_EQ(es[2].year, 1969);
    EXPECT_EQ(es[3].year, 1969);
    EXPECT_EQ(errText(), "Warning: entry #7 year 1967 doesn't match carset year 1969\n");
    ASSERT_TRUE(d.carset.has_value());
    EXPECT_EQ(d.carset->name, "Gem 69");
    EXPECT_EQ(d.carset->year, 1969);
}

TEST_F(WeekendBuild, CarsetNamesAndIdentification) {
    cstbuilder::CarsetSpec cst;
    cst.name = "Gem+ 1967";
    cst.cardir = "gem67";
    cst.shortid = "67";
    cst.year = "1967a";
    cst.cars = {{3, "Eagle Racers", std::nullopt, std::nullopt}, {9, "", "Special", "V16"}};
    useCarset(cst);
    ReplaySpec r;
    r.drivers = {driver(1, 1, 3), driver(2, 2, 9)};
    const Weekend d = build(r);
    const Entries& es = d.event.entries;
    EXPECT_EQ(es[0].team, "Eagle Racers");
    EXPECT_EQ(es[0].chassis, "Gurney Eagle");
    EXPECT_EQ(es[0].engine, "Weslake V12");
    EXPECT_EQ(es[1].team, "unkTeam9");
    EXPECT_EQ(es[1].chassis, "Special");
    EXPECT_EQ(es[1].engine, "V16");
    ASSERT_TRUE(d.carset.has_value());
    EXPECT_EQ(d.carset->name, "Gem+ 1967");
    EXPECT_EQ(d.carset->cardir, "gem67");
    EXPECT_EQ(d.carset->physics, "");
    EXPECT_EQ(d.carset->shortid, "67");
    EXPECT_EQ(d.carset->year, 0);
    // A carset year that does not convert is 1967 for the entries.
    EXPECT_EQ(errText(), "");
}

TEST_F(WeekendBuild, CarNumbersOutside0To32767AreRejected) {
    for (std::int32_t bad : {-1, 32768, -2147483647 - 1, 2147483647}) {
        ReplaySpec r;
        r.drivers = {driver(1, bad)};
        EXPECT_EQ(buildError(r), "Conversion positive overflow") << bad;
    }
    ReplaySpec ok;
    ok.drivers = {driver(1, 32767)};
    EXPECT_EQ(build(ok).event.entries[0].number, 32767);
}

TEST_F(WeekendBuild, LookupsGiveDefaultsAndTheFirstOfDuplicates) {
    ReplaySpec r;
    r.drivers = {driver(4, 1, 1), driver(9, 2, 2), driver(4, 3, 3)};
    const Weekend d = build(r);
    const Entries& es = d.event.entries;
    const EntryIndex index(es);
    EXPECT_EQ(index.find(4).number, 1);
    EXPECT_EQ(index.find(9).number, 2);
    const Entry& none = index.find(99);
    EXPECT_EQ(none.team, "SomeTeam");
    EXPECT_EQ(none.chassis, "SomeCar");
    EXPECT_EQ(none.engine, "SomeEngine");
    EXPECT_EQ(none.number, 0);
    EXPECT_EQ(none.year, 0);
    EXPECT_TRUE(none.drivers.empty());
    EXPECT_EQ(&index.find(-1), &none);
    Driver nobody = es[0].drivers.find(12345);
    EXPECT_EQ(nobody.remark, "invalid");
    EXPECT_EQ(nobody.driverId, 0);
    EXPECT_EQ(es[0].drivers.find(104).driverId, 104);
}

TEST_F(WeekendBuild, SessionsTakeTheWeekendTableAtTheirIndex) {
    ReplaySpec r;
    r.weekend.sessions = {{SessionType::TESTING, 32767, 1800.0}, {SessionType::PRACTICE, 32767, 3600.5},
                          {SessionType::RACE, 30, 604800.0}};
    r.header.firstSession = 1;
    r.drivers = {driver(1, 1)};
    r.sessions = {session({car(1, {lapWord(1000), lapWord(91000)})}),
                  session({car(1, {lapWord(2000), lapWord(92000, offTrack)})})};
    const Weekend d = build(r);
    const auto& ss = d.event.sessions;
    ASSERT_EQ(ss.size(), 2u);
    EXPECT_EQ(ss[0].type, SessionType::PRACTICE);
    EXPECT_EQ(ss[0].maxLaps, 32767);
    EXPECT_EQ(ss[0].maxSecs, 3600);
    EXPECT_EQ(ss[1].type, SessionType::RACE);
    EXPECT_EQ(ss[1].maxLaps, 30);
    EXPECT_EQ(ss[1].maxSecs, 604800);
    ASSERT_EQ(ss[1].timing.cars.size(), 1u);
    const TimingEntry car = ss[1].timing.cars[0];
    EXPECT_EQ(car.carId, 1);
    EXPECT_EQ(car.driverId, 101);
    EXPECT_EQ(car.number, 1);
    EXPECT_EQ(std::vector<TimedLap>(car.laps.begin(), car.laps.end()),
              (std::vector<TimedLap>{{2000, 0}, {92000, LapFlag::offTrack}}));
    ASSERT_EQ(ss[1].timing.cells.size(), 2u);
    const TimingRow row = ss[1].timing.cells[1];
    EXPECT_EQ(std::vector<TimingCell>(row.begin(), row.end()),
              (std::vector<TimingCell>{{1, 101, 1, 92000, LapFlag::offTrack, 1, 0}}));
}

TEST_F(WeekendBuild, SessionFailures) {
    ReplaySpec badIndex;
    badIndex.header.firstSession = 2; // the weekend lists two sessions
    badIndex.drivers = {driver(1, 1)};
    badIndex.sessions = {session({car(1, {lapWord(1000)})})};
    EXPECT_EQ(buildError(badIndex), "Invalid session index 2");

    ReplaySpec hugeIndex = badIndex;
    hugeIndex.header.firstSession = 0xFFFFFFFF;
    hugeIndex.header.lastSession = 0xFFFFFFFF;
    EXPECT_EQ(buildError(hugeIndex), "Invalid session index 4294967295");

    ReplaySpec noEntry;
    noEntry.drivers = {driver(1, 1)};
    noEntry.sessions = {session({car(2, {lapWord(1000)})})};
    EXPECT_EQ(buildError(noEntry), "No entry for car id 2");
}

TEST_F(WeekendBuild, WeekendTableIsReadAfterTheEntriesEvenWithoutSessions) {
    ReplaySpec r;
    DriverSpec y69 = driver(1, 3);
    y69.tag = tagBytes(84, 0, 0);
    r.drivers = {y69};
    r.weekend.sessions = {WeekendSession(0, 0, 0.0)};
    r.header.lastSession = 0xFFFFFFFF; // no sessions recorded, consistently
    const Weekend d = build(r);
    EXPECT_TRUE(d.event.sessions.empty());
    EXPECT_EQ(errText(),
              "Warning: entry #3 year 1969 doesn't match carset year 1967\n"
              "Warning: (rpylib:109) No session data found\n");

    ReplaySpec inconsistent;
    inconsistent.weekend.sessionCount = 5;
    inconsistent.header.lastSession = 0xFFFFFFFF;
    EXPECT_EQ(buildError(inconsistent), "Inconsistent session info");
}

// Of the record's flag bits 0x40 is off track and 0x10 invalid; any other
// is unknown to the weekend model and marks the lap.
TEST_F(WeekendBuild, EveryOtherLapFlagBitIsUnknown) {
    const std::pair<std::uint8_t, std::uint8_t> cases[] = {
        {0x00, 0},
        {0x01, LapFlag::unknown},
        {0x02, LapFlag::unknown},
        {0x04, LapFlag::unknown},
        {0x08, LapFlag::unknown},
        {0x10, LapFlag::invalid},
        {0x20, LapFlag::unknown},
        {0x40, LapFlag::offTrack},
        {0x80, LapFlag::unknown},
        {0xFF, LapFlag::offTrack | LapFlag::invalid | LapFlag::unknown},
    };
    ReplaySpec r;
    r.drivers = {driver(1, 1)};
    CarSpec c = car(1, {});
    for (std::size_t i = 0; i < std::size(cases); ++i)
        c.laps.push_back(lapWord(1000 * static_cast<std::uint32_t>(i + 1), cases[i].first));
    r.sessions = {session({c})};
    const Weekend d = build(r);
    const SessionTiming& timing = d.event.sessions.at(0).timing;
    ASSERT_EQ(timing.cars.size(), 1u);
    const LapList laps = timing.cars[0].laps;
    ASSERT_EQ(laps.size(), std::size(cases));
    for (std::size_t i = 0; i < laps.size(); ++i) {
        EXPECT_EQ(laps[i].clock, 1000 * (i + 1));
        EXPECT_EQ(laps[i].flags, cases[i].second) << "record flags 0x" << std::hex << int(cases[i].first);
    }
}

TEST_F(WeekendBuild, CarsetChoice) {
    cstbuilder::CarsetSpec cst;
    cst.name = "Named";
    cst.cardir = "gem67";
    ReplaySpec r;
    r.weekend.carset = "gem67";
    auto carsetName = [&] {
        const Weekend w = build(r);
        return w.carset ? w.carset->name : "none";
    };

    // A carset that cannot be loaded is a failure of its own kind.
    carset_.path = dir_.file("missing.cst");
    EXPECT_THROW(build(r), CarsetError);

    // Detection names the file it loads, only when no carset is loaded.
    carset_ = CarsetChoice{"", true};
    dir_.write("cst/found.cst", cstbuilder::carsetBytes(cst));
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    EXPECT_EQ(carsetName(), "Named");
    EXPECT_EQ(errText(), "Using carset file " + testutil::nativePath("cst/found.cst") + "\n");
    cst.name = "Given";
    useCarset(cst);
    EXPECT_EQ(carsetName(), "Given");
    EXPECT_EQ(errText(), "");
    std::filesystem::current_path(cwd);
}
