// The game data build: entries with names, years and remarks, the carset
// identification and the session list, on replays made by the builder.
#include <gtest/gtest.h>

#include <cstdio>

#include "cstbuilder.h"
#include "data.h"
#include "globals.h"
#include "rpybuilder.h"
#include "rpylib.h"
#include "testutil.h"
#include "timing.h"

using namespace rpybuilder;

namespace {

// Builds the game data of a replay, with the standard-error console captured.
class DataBuild : public ::testing::Test {
protected:
    DataGPL& build(const ReplaySpec& spec) {
        // Windows refuses to rewrite a file while a view of it is mapped.
        data_.reset();
        rpy_.reset();
        rpy_ = std::make_unique<RpyFile>(writeReplay(dir_, "r.rpy", spec));
        rpy_->checkHeader();
        data_ = std::make_unique<DataGPL>();
        data_->build(*rpy_);
        return *data_;
    }

    std::string buildError(const ReplaySpec& spec) {
        try {
            build(spec);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "no error";
    }

    void useCarset(const cstbuilder::CarsetSpec& cst) {
        globals().cstFile = dir_.write("c.cst", cstbuilder::carsetBytes(cst));
    }

    std::string errText() { return stderr_.text(); }

    testutil::StderrCapture stderr_;
    testutil::TempDir dir_;
    std::unique_ptr<RpyFile> rpy_;
    std::unique_ptr<DataGPL> data_;
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

TEST_F(DataBuild, ReplayIdentificationAndEvent) {
    ReplaySpec r;
    r.header.track = "Monza";
    r.header.saverName = "GPL";
    r.header.saverVersion = "1.2.0.2";
    r.header.word28 = 0xDEADBEEF;
    r.weekend.track = "monza";
    r.weekend.carset = "Gem+ 67 \xE9";
    r.root.version = 0x00002402; // low byte 2: version 2
    DataGPL& d = build(r);
    EXPECT_EQ(d.game, Game::GPL);
    EXPECT_EQ(d.gameName(), "Grand Prix Legends");
    EXPECT_EQ(&d.gpl(), &d);
    EXPECT_EQ(d.version, 2u);
    EXPECT_EQ(d.track, "Monza");
    EXPECT_EQ(d.saverName, "GPL");
    EXPECT_EQ(d.saverVersion, "1.2.0.2");
    EXPECT_EQ(d.headerWord, 0xDEADBEEFu);
    ASSERT_EQ(d.events.size(), 1u);
    EXPECT_EQ(d.events[0].track, "monza");
    EXPECT_EQ(d.events[0].carset, "Gem+ 67 \xC3\xA9");
    EXPECT_EQ(d.carsetInfo.name, "");
    EXPECT_EQ(d.carsetInfo.year, 0);
}

TEST_F(DataBuild, EntriesTakeNamesRemarksNationalitiesAndClasses) {
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
    DataGPL& d = build(r);
    const Entries& es = d.events[0].entries;
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
    EXPECT_FALSE(da.tagIsText);
    EXPECT_TRUE(da.flag138);

    EXPECT_EQ(es[1].team, "unkTeam7");
    EXPECT_EQ(es[1].chassis, "unkMake7");
    EXPECT_EQ(es[1].engine, "unkEngine7");
    EXPECT_EQ(es[1].carClass, "cast(CarClass)9");
    EXPECT_EQ(es[1].drivers[0].nat, "");
    EXPECT_EQ(es[1].drivers[0].remark, "");
    EXPECT_TRUE(es[1].drivers[0].tagIsText);

    EXPECT_EQ(es[2].team, "unkTeam44");
    EXPECT_EQ(es[2].carClass, "BT");
    EXPECT_EQ(errText(), "");
}

TEST_F(DataBuild, YearsAndTheYearWarning) {
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

    DataGPL& d = build(r);
    const Entries& es = d.events[0].entries;
    EXPECT_EQ(es[0].year, 1967);
    EXPECT_EQ(es[1].year, 1969);
    EXPECT_EQ(es[2].year, 1967);
    EXPECT_EQ(es[3].year, 1967);
    EXPECT_EQ(es[4].year, 1967);
    EXPECT_EQ(es[2].drivers[0].remark, "");
    EXPECT_EQ(errText(), "Warning: entry #2 year 1969 doesn't match carset year 1967\n");
}

TEST_F(DataBuild, YearsAgainstACarsetYear) {
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
    DataGPL& d = build(r);
    const Entries& es = d.events[0].entries;
    EXPECT_EQ(es[0].year, 1967);
    EXPECT_EQ(es[1].year, 1969);
    EXPECT_EQ(es[2].year, 1969);
    EXPECT_EQ(es[3].year, 1969);
    EXPECT_EQ(errText(), "Warning: entry #7 year 1967 doesn't match carset year 1969\n");
    EXPECT_EQ(d.carsetInfo.name, "Gem 69");
    EXPECT_EQ(d.carsetInfo.year, 1969);
}

TEST_F(DataBuild, CarsetNamesAndIdentification) {
    cstbuilder::CarsetSpec cst;
    cst.name = "Gem+ 1967";
    cst.cardir = "gem67";
    cst.shortid = "67";
    cst.year = "1967a";
    cst.cars = {{3, "Eagle Racers", std::nullopt, std::nullopt}, {9, "", "Special", "V16"}};
    useCarset(cst);
    ReplaySpec r;
    r.drivers = {driver(1, 1, 3), driver(2, 2, 9)};
    DataGPL& d = build(r);
    const Entries& es = d.events[0].entries;
    EXPECT_EQ(es[0].team, "Eagle Racers");
    EXPECT_EQ(es[0].chassis, "Gurney Eagle");
    EXPECT_EQ(es[0].engine, "Weslake V12");
    EXPECT_EQ(es[1].team, "unkTeam9");
    EXPECT_EQ(es[1].chassis, "Special");
    EXPECT_EQ(es[1].engine, "V16");
    EXPECT_EQ(d.carsetInfo.name, "Gem+ 1967");
    EXPECT_EQ(d.carsetInfo.cardir, "gem67");
    EXPECT_EQ(d.carsetInfo.physics, "");
    EXPECT_EQ(d.carsetInfo.shortid, "67");
    EXPECT_EQ(d.carsetInfo.year, 0);
    // A carset year that does not convert is 1967 for the entries.
    EXPECT_EQ(errText(), "");
}

TEST_F(DataBuild, CarNumbersOutside0To32767AreRejected) {
    for (std::int32_t bad : {-1, 32768, -2147483647 - 1, 2147483647}) {
        ReplaySpec r;
        r.drivers = {driver(1, bad)};
        EXPECT_EQ(buildError(r), "Conversion positive overflow") << bad;
    }
    ReplaySpec ok;
    ok.drivers = {driver(1, 32767)};
    EXPECT_EQ(build(ok).events[0].entries[0].number, 32767);
}

TEST_F(DataBuild, LookupsGiveDefaultsAndTheFirstOfDuplicates) {
    ReplaySpec r;
    DriverSpec a = driver(4, 1, 1);
    DriverSpec b = driver(4, 2, 2);
    r.drivers = {a, b};
    DataGPL& d = build(r);
    const Entries& es = d.events[0].entries;
    EXPECT_EQ(es.find(4).number, 1);
    Entry none = es.find(99);
    EXPECT_EQ(none.team, "SomeTeam");
    EXPECT_EQ(none.chassis, "SomeCar");
    EXPECT_EQ(none.engine, "SomeEngine");
    EXPECT_EQ(none.number, 0);
    EXPECT_EQ(none.year, 0);
    EXPECT_TRUE(none.drivers.empty());
    Driver nobody = es[0].drivers.find(12345);
    EXPECT_EQ(nobody.remark, "invalid");
    EXPECT_EQ(nobody.driverId, 0);
    EXPECT_EQ(es[0].drivers.find(104).driverId, 104);
}

TEST_F(DataBuild, EntryIndexAnswersLikeFind) {
    ReplaySpec r;
    r.drivers = {driver(4, 1, 1), driver(9, 2, 2), driver(4, 3, 3)};
    const Entries& es = build(r).events[0].entries;
    const EntryIndex index(es);
    for (std::int32_t id : {4, 9, 5, -1}) {
        EXPECT_EQ(index.find(id).number, es.find(id).number) << id;
        EXPECT_EQ(index.find(id).team, es.find(id).team) << id;
    }
    EXPECT_EQ(index.find(4).number, 1);
    EXPECT_EQ(index.find(5).team, "SomeTeam");
    EXPECT_TRUE(index.find(5).drivers.empty());
}

TEST_F(DataBuild, SessionsTakeTheWeekendTableAtTheirIndex) {
    ReplaySpec r;
    r.weekend.sessions = {{SessT::TESTING, 32767, 1800.0}, {SessT::PRACTICE, 32767, 3600.5},
                          {SessT::RACE, 30, 604800.0}};
    r.header.firstSession = 1;
    r.drivers = {driver(1, 1)};
    r.sessions = {session({car(1, {lapWord(1000), lapWord(91000)})}),
                  session({car(1, {lapWord(2000), lapWord(92000, offTrack)})})};
    DataGPL& d = build(r);
    const auto& ss = d.events[0].sessions;
    ASSERT_EQ(ss.size(), 2u);
    EXPECT_EQ(ss[0].type, SessT::PRACTICE);
    EXPECT_EQ(ss[0].maxLaps, 32767);
    EXPECT_EQ(ss[0].maxSecs, 3600);
    EXPECT_EQ(ss[1].type, SessT::RACE);
    EXPECT_EQ(ss[1].maxLaps, 30);
    EXPECT_EQ(ss[1].maxSecs, 604800);
    ASSERT_TRUE(ss[1].timing);
    EXPECT_EQ(ss[1].timing->kind, 1);
    EXPECT_EQ(ss[1].timing->session.type, SessT::RACE);
    ASSERT_EQ(ss[1].timing->timingEntries.size(), 1u);
    EXPECT_EQ(ss[1].timing->timingEntries[0].driverId, 101);
    EXPECT_EQ(ss[1].timing->timingEntries[0].laps[1].flags, LapFlag::offTrack);
}

TEST_F(DataBuild, SessionFailures) {
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

TEST_F(DataBuild, WeekendTableIsReadAfterTheEntriesEvenWithoutSessions) {
    ReplaySpec r;
    DriverSpec y69 = driver(1, 3);
    y69.tag = tagBytes(84, 0, 0);
    r.drivers = {y69};
    r.weekend.sessions = {WeekendSession(0, 0, 0.0)};
    r.header.lastSession = 0xFFFFFFFF; // no sessions recorded, consistently
    DataGPL& d = build(r);
    EXPECT_TRUE(d.events[0].sessions.empty());
    EXPECT_EQ(errText(),
              "Warning: entry #3 year 1969 doesn't match carset year 1967\n"
              "Warning: (rpylib:109) No session data found\n");

    ReplaySpec inconsistent;
    inconsistent.weekend.sessionCount = 5;
    inconsistent.header.lastSession = 0xFFFFFFFF;
    EXPECT_EQ(buildError(inconsistent), "Inconsistent session info");
}

TEST_F(DataBuild, FactoryByGame) {
    EXPECT_NE(dynamic_cast<DataGPL*>(create(Game::GPL).get()), nullptr);
    EXPECT_EQ(create(Game::UNK), nullptr);
    EXPECT_EQ(create(Game::N4), nullptr);
    EXPECT_EQ(create(Game::N2K3), nullptr);
    for (Game g : {Game::N2K2, Game::IRAC}) {
        try {
            create(g);
            ADD_FAILURE() << "no failure";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Not implemented");
        }
    }
}

TEST_F(DataBuild, DumpText) {
    ReplaySpec r;
    r.header.saverName = "GPL";
    r.header.saverVersion = "1.2";
    r.weekend.carset = "gem67";
    DriverSpec a = driver(1, 7, 4);
    a.firstName = "Ann";
    a.lastName = "Example";
    a.nationality = 10;
    r.drivers = {a};
    r.sessions = {session({car(1, {lapWord(1000)})})};
    DataGPL& d = build(r);
    EXPECT_EQ(d.dumpText(),
              "Replay Data:\n"
              "track      : Monza\n"
              "saver      : GPL 1.2\n"
              "Event Data :\n"
              "track      : Monza\n"
              "carset     : gem67\n"
              "Entry List :\n"
              "  7 Scuderia Ferrari SpA SEFAC   Ferrari 312-Ferrari V12          Ann Example FRA GEM+ 2.3.1\n"
              "PRACTICE session Data:\n"
              "max. laps  : 32767\n"
              "max. secs  : 3600\n");
}
