// The report writers on weekends assembled in code.
#include "report/report.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "document/cells.h"
#include "document/semikv_document.h"
#include "timed_cars.h"

namespace {

TimedLap lap(std::uint32_t clock, std::uint8_t flags = 0) { return TimedLap{clock, flags}; }

Driver driver(std::int32_t id, std::string first, std::string last, std::string nat = "GBR",
              std::string remark = "") {
    Driver d;
    d.driverId = id;
    d.firstName = std::move(first);
    d.lastName = std::move(last);
    d.nat = std::move(nat);
    d.remark = std::move(remark);
    return d;
}

Entry entry(std::int32_t carId, std::int16_t number, std::vector<Driver> drivers,
            std::string team = "Team Nord", std::string chassis = "Nord 12",
            std::string engine = "Nord V8", std::int16_t year = 1967) {
    Entry e;
    e.carId = carId;
    e.number = number;
    e.team = std::move(team);
    e.chassis = std::move(chassis);
    e.engine = std::move(engine);
    e.year = year;
    for (Driver& d : drivers) e.drivers.push_back(std::move(d));
    return e;
}

using CarLaps = std::vector<std::pair<std::int32_t, std::vector<TimedLap>>>;

// A weekend with one event, assembled in code.
class TestWeekend {
public:
    TestWeekend() {
        weekend.saverName = "Saver";
        weekend.saverVersion = "2.1";
        event().track = "Lakeside";
        event().carset = "Classic 67";
    }

    Event& event() { return weekend.event; }

    void add(Entry e) { event().entries.push_back(std::move(e)); }

    // Each car is timed with the first driver of its entry, as the builder
    // does.
    void session(SessionType type, const CarLaps& cars) {
        const EntryIndex index(event().entries);
        std::vector<TimedCar> timed;
        for (const auto& [carId, laps] : cars) {
            const Drivers& drivers = index.find(carId).drivers;
            timed.push_back({carId, drivers.empty() ? 0 : drivers.front().driverId, laps});
        }
        event().sessions.push_back(Session{type, 0, 0, timingOf(std::move(timed))});
    }

    ::Weekend weekend;
};

// The whole report with these switches.
std::string report(const ::Weekend& w, ReportOptions options = {}) {
    StringSink sink;
    writeReport(w, options, sink);
    return sink.text();
}
std::string text(const ::Weekend& w, ReportOptions options = {}) {
    options.format = ReportFormat::TEXT;
    return report(w, options);
}
std::string semikv(const ::Weekend& w, ReportOptions options = {}) {
    options.format = ReportFormat::SEMIKV;
    return report(w, options);
}

// Only what the calls on the format's writer add.
std::string sections(ReportFormat format, const Entries& entries, const std::function<void(ReportWriter&)>& calls) {
    StringSink sink;
    ReportStream out(sink);
    const EntryIndex index(entries);
    ReportOptions options;
    options.format = format;
    calls(*makeWriter(options, index, out));
    out.flush();
    return sink.text();
}

std::string entryList(ReportFormat format, const Entries& entries) {
    return sections(format, entries, [&](ReportWriter& w) { w.entryList(sortedByNumber(entries)); });
}

SessionReport firstSession(const Event& event) { return SessionReport{1, &event.sessions.at(0)}; }

// Without the replay info, the event info and the entry list, and with one
// switch set.
ReportOptions only(bool ReportOptions::*section, bool on = true) {
    ReportOptions o;
    o.replayInfo = o.eventInfo = o.entryList = false;
    o.*section = on;
    return o;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

::testing::AssertionResult startsWith(const std::string& text, const std::string& prefix) {
    if (text.compare(0, prefix.size(), prefix) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "text:\n" << text << "\ndoes not start with:\n" << prefix;
}

// ---- Text tables -----------------------------------------------------------

TEST(ReportTest, TextEntryListSortsByNumberAndListsEveryDriver) {
    TestWeekend w;
    w.add(entry(1, 12, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 3, {driver(20, "Bo", "Lind", "SWE", "GEM+ 2.3.1"), driver(21, "Carl", "Holm", "")},
                "Holm Racing Organisation", "Holm HR2", "Holm V12", 1968));
    w.add(entry(3, 7, {driver(30, "Dag", "Ek")}, "Scuderia Lungonome Corse Sport Team",
                "Lungo 312", "Lungo V12", 0));
    w.add(entry(4, 3, {driver(40, "Eva", "Falk")}));

    EXPECT_EQ(entryList(ReportFormat::TEXT, w.event().entries),
              "Entry List\n\n"
              "Num Team                          Chassis                Engine                  Year\n"
              "      Driver                 NAT    Remark\n"
              "  3 Holm Racing Organisation      Holm HR2               Holm V12                1968\n"
              "      Bo Lind                SWE    GEM+ 2.3.1\n"
              "      Carl Holm                     \n"
              "  3 Team Nord                     Nord 12                Nord V8                 1967\n"
              "      Eva Falk               GBR    \n"
              "  7 Scuderia Lungonome Corse Sport TeamLungo 312              Lungo V12               0\n"
              "      Dag Ek                 GBR    \n"
              " 12 Team Nord                     Nord 12                Nord V8                 1967\n"
              "      Anna Berg              GBR    \n");
    // The event's own order is left alone.
    EXPECT_EQ(w.event().entries.front().number, 12);
}

TEST(ReportTest, TextColumnsPadByVisibleCharactersAndNeverCut) {
    TestWeekend w;
    // "É" as one code point, "ö" as o + combining diaeresis: both one column.
    w.add(entry(1, 5, {driver(10, "\xC3\x89lodie", "Marchand-Lefe\xCC\x88vre-Dupont", "FRA")}));
    std::string out = entryList(ReportFormat::TEXT, w.event().entries);
    EXPECT_TRUE(contains(out, "      \xC3\x89lodie Marchand-Lefe\xCC\x88vre-DupontFRA    \n")) << out;

    TestWeekend v;
    v.add(entry(1, 5, {driver(10, "\xC3\x89va", "N\xC3\xA9meth", "HUN")}));
    out = entryList(ReportFormat::TEXT, v.event().entries);
    EXPECT_TRUE(contains(out, "      \xC3\x89va N\xC3\xA9meth             HUN    \n")) << out;
}

TEST(ReportTest, TextBestLapTableRanksCarsWithValidLapsOnly) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 8, {driver(20, "Bo", "Lind")}));
    w.add(entry(3, 9, {driver(30, "Carl", "Holm")}));
    w.session(SessionType::PRACTICE, {{1, {lap(10000), lap(95000), lap(178500, LapFlag::offTrack)}},
                                {2, {lap(12000), lap(94000), lap(180000, LapFlag::invalid)}},
                                {3, {lap(15000), lap(99000, LapFlag::invalid)}}});

    const Event& e = w.event();
    EXPECT_EQ(sections(ReportFormat::TEXT, e.entries,
                       [&](ReportWriter& wr) { wr.practiceResults(firstSession(e), bestLapResults(e.sessions[0].timing)); }),
              "Practice Results\n\n"
              "Pos Num Driver                     Time        Gap   Lap      Clock   VLaps TLaps  Remark\n"
              " 1.   8 Bo Lind                  1:22.000     0.000    1     1:34.000     1     2  \n"
              " 2.   5 Anna Berg                1:23.500     1.500    2     2:58.500     2     2  Off Track\n"
              "\n");
}

TEST(ReportTest, TablesWithoutResultsAreLeftOutWhole) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessionType::RACE, {{1, {lap(10000), lap(95000, LapFlag::invalid)}}});
    w.session(SessionType::RACE, {});

    const Event& e = w.event();
    for (ReportFormat format : {ReportFormat::TEXT, ReportFormat::SEMIKV}) {
        EXPECT_EQ(sections(format, e.entries, [&](ReportWriter& wr) {
                      wr.practiceResults(firstSession(e), bestLapResults(e.sessions[0].timing));
                      wr.fastestLaps(firstSession(e), bestLapResults(e.sessions[0].timing));
                      wr.raceResults(SessionReport{2, &e.sessions[1]}, raceResults(e.sessions[1].timing));
                  }),
                  "");
    }
}

TEST(ReportTest, TextRaceResultsShowLappedAndRetiredCars) {
    TestWeekend w;
    w.add(entry(1, 1, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 2, {driver(20, "Bo", "Lind")}));
    w.add(entry(3, 3, {driver(30, "Carl", "Holm")}));
    w.add(entry(4, 4, {driver(40, "Dag", "Ek")}));
    w.session(SessionType::RACE, {{1, {lap(10000), lap(100000), lap(190000), lap(280000)}},
                            {2, {lap(10500), lap(101000), lap(192000), lap(283500)}},
                            {3, {lap(11000), lap(150000), lap(290000)}},
                            {4, {lap(11500), lap(110000)}}});

    const Event& e = w.event();
    EXPECT_EQ(sections(ReportFormat::TEXT, e.entries,
                       [&](ReportWriter& wr) { wr.raceResults(firstSession(e), raceResults(e.sessions[0].timing)); }),
              "Race Results\n\n"
              "Pos Num Driver                  Laps     Clock        Gap       Diff   Remark\n"
              " 1.   1 Anna Berg                 3     4:30.000     0.000     -0.000  \n"
              " 2.   2 Bo Lind                   3     4:33.500     3.500     -3.500  \n"
              " 3.   3 Carl Holm                 2     4:40.000    10.000  -1:38.000  \n"
              " 4.   4 Dag Ek                    1     1:40.000    10.000     -9.000  DNF\n"
              "\n");
}

TEST(ReportTest, TextRaceWithOneCar) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessionType::RACE, {{1, {lap(5000), lap(95000), lap(185000)}}});

    EXPECT_TRUE(contains(text(w.weekend),
                         "Race Results\n\n"
                         "Pos Num Driver                  Laps     Clock        Gap       Diff   Remark\n"
                         " 1.   5 Anna Berg                 2     3:00.000     0.000     -0.000  \n\n"
                         "Race Fastest Laps\n\n"
                         "Pos Num Driver                     Time        Gap   Lap      Clock   VLaps TLaps  Remark\n"
                         " 1.   5 Anna Berg                1:30.000     0.000    2     3:05.000     2     2  \n\n"));
}

TEST(ReportTest, ResultRowsOfUnknownCarsUseTheDefaultEntryAndDriver) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessionType::PRACTICE, {{1, {lap(5000), lap(95000)}}});
    // Drop the entry after the timing was built: the lookups find nothing.
    w.event().entries.clear();

    const std::string out = text(w.weekend, only(&ReportOptions::practiceResults));
    EXPECT_TRUE(contains(out, " 1.   0                          1:30.000")) << out;
}

// ---- Section order and switches --------------------------------------------

TEST(ReportTest, TextSectionsAndTheirOrder) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessionType::TESTING, {{1, {lap(5000), lap(95000)}}});
    w.session(SessionType::RACE, {{1, {lap(5000), lap(95000)}}});
    w.session(SessionType::PRACTICE, {{1, {lap(5000), lap(95000)}}});

    const std::string out = text(w.weekend);
    EXPECT_EQ(out.substr(0, out.find("Entry List")),
              "Replay Info\n"
              "saver     : Saver 2.1\n"
              "Event Info\n"
              "track     : Lakeside\n"
              "carset    : Classic 67\n"
              "\n");
    const auto race = out.find("Race Results");
    const auto fastest = out.find("Race Fastest Laps");
    const auto practice = out.find("Practice Results");
    ASSERT_NE(race, std::string::npos);
    ASSERT_NE(fastest, std::string::npos);
    ASSERT_NE(practice, std::string::npos);
    EXPECT_LT(race, fastest);
    EXPECT_LT(fastest, practice);
    // One table set per result session: the testing session adds none.
    EXPECT_EQ(out.find("Practice Results", practice + 1), std::string::npos);
    EXPECT_EQ(out.find("Laptimes"), std::string::npos);
    // The entry list is followed by exactly one empty line.
    EXPECT_TRUE(contains(out, "      Anna Berg              GBR    \n\nRace Results\n"));
}

TEST(ReportTest, EntryListSwitchedOff) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessionType::PRACTICE, {{1, {lap(5000), lap(95000)}}});
    const ReportOptions o = only(&ReportOptions::entryList, false);

    EXPECT_TRUE(startsWith(text(w.weekend, o), "\nPractice Results\n\n"));
    EXPECT_TRUE(startsWith(semikv(w.weekend, o), "semikv_start;semikv_version=1;gridtally_version=v0.6.4;\n\n"
              "table_start;table=Practice Results;\n"
              "pos=1;startnum=5;drivername="));
}

TEST(ReportTest, ResultSwitchesHideTheirTables) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessionType::PRACTICE, {{1, {lap(5000), lap(95000)}}});
    w.session(SessionType::RACE, {{1, {lap(5000), lap(95000)}}});
    ReportOptions o;
    o.practiceResults = false;
    std::string out = text(w.weekend, o) + semikv(w.weekend, o);
    EXPECT_FALSE(contains(out, "Practice Results"));
    EXPECT_TRUE(contains(out, "Race Results"));

    o.practiceResults = true;
    o.raceResults = false;
    out = text(w.weekend, o) + semikv(w.weekend, o);
    EXPECT_TRUE(contains(out, "Practice Results"));
    EXPECT_FALSE(contains(out, "Race Results"));
    EXPECT_FALSE(contains(out, "Race Fastest Laps"));
}

TEST(ReportTest, NoHeaderWithCarsetStartsWithCarsetInfo) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.weekend.carset = CarsetInfo{"Classic 67", "c67", "gpl67", "C67", 1967};
    const ReportOptions o = only(&ReportOptions::entryList);

    EXPECT_TRUE(startsWith(text(w.weekend, o), "Carset Info\n"
              "name      : Classic 67\n"
              "cardir    : c67\n"
              "physics   : gpl67\n"
              "shortid   : C67\n"
              "year      : 1967\n"
              "Entry List\n"));
    EXPECT_TRUE(startsWith(semikv(w.weekend, o), "semikv_start;semikv_version=1;gridtally_version=v0.6.4;\n\n"
              "table_start;table=Carset Info;\n"
              "name=Classic 67;cardir=c67;physics=gpl67;shortid=C67;year=1967;\n"
              "table_end;\n\n"
              "table_start;table=Entry List;\n"));
}

TEST(ReportTest, CarsetInfoWithEmptyValues) {
    TestWeekend w;
    // Without a carset the section is absent.
    EXPECT_FALSE(contains(text(w.weekend), "Carset Info"));
    EXPECT_FALSE(contains(semikv(w.weekend), "Carset Info"));

    w.weekend.carset = CarsetInfo{"Classic 67", "", "", "C67", 0};
    EXPECT_TRUE(startsWith(text(w.weekend), "Carset Info\n"
              "name      : Classic 67\n"
              "shortid   : C67\n"
              "Replay Info\n"));
    EXPECT_TRUE(contains(semikv(w.weekend),
                         "table_start;table=Carset Info;\n"
                         "name=Classic 67;cardir=;physics=;shortid=C67;year=0;\n"
                         "table_end;\n\n"
                         "table_start;table=Replay Info;\n"));
}

// ---- Semikv ----------------------------------------------------------------

TEST(ReportTest, SemikvValuesEscapeOnlyTheirSemicolons) {
    EXPECT_EQ(semikvValue("x;y=z\x12w\n"), "x\xCD\xBEy=z\x12w\n");
    EXPECT_EQ(semikvValue(""), "");
    std::string many;
    for (int i = 0; i < 40; ++i) many += "\xCD\xBE";
    EXPECT_EQ(semikvValue(std::string(40, ';')), many);
}

TEST(ReportTest, SemikvDocumentFrameAndInfoTables) {
    TestWeekend w;
    w.weekend.saverName = "Sa;ver";
    w.event().carset = "Classic;67";
    const std::string out = semikv(w.weekend);
    EXPECT_EQ(out,
              "semikv_start;semikv_version=1;gridtally_version=v0.6.4;\n\n"
              "table_start;table=Replay Info;\n"
              "saver=Sa\xCD\xBEver 2.1;\n"
              "table_end;\n\n"
              "table_start;table=Event Info;\n"
              "track=Lakeside;carset=Classic\xCD\xBE" "67;\n"
              "table_end;\n\n"
              "table_start;table=Entry List;\n"
              "table_end;\n\n"
              "semikv_end;\n");
}

TEST(ReportTest, SemikvEntryListLineFeedsFollowTheDrivers) {
    TestWeekend w;
    w.add(entry(1, 10, {driver(10, "Anna", "Berg;Ek", "", "tag=1")}, "Team;Nord"));
    w.add(entry(2, 2, {driver(20, "Bo", "Lind"), driver(21, "Carl", "Holm", "SWE")}));
    w.add(entry(3, 4, {}));

    EXPECT_EQ(entryList(ReportFormat::SEMIKV, w.event().entries),
              "table_start;table=Entry List;\n"
              "startnum=2;team=Team Nord;chassis=Nord 12;engine=Nord V8;year=1967;"
              "driver1_name=Bo Lind;driver1_nat=GBR;driver1_remark=;\n"
              "driver2_name=Carl Holm;driver2_nat=SWE;driver2_remark=;\n"
              "startnum=4;team=Team Nord;chassis=Nord 12;engine=Nord V8;year=1967;"
              "startnum=10;team=Team\xCD\xBENord;chassis=Nord 12;engine=Nord V8;year=1967;"
              "driver1_name=Anna Berg\xCD\xBE" "Ek;driver1_nat=;driver1_remark=tag=1;\n"
              "table_end;\n\n");

    // The end marker keeps a line of its own after a driverless last entry.
    EXPECT_EQ(entryList(ReportFormat::SEMIKV, Entries{{entry(5, 12, {})}}),
              "table_start;table=Entry List;\n"
              "startnum=12;team=Team Nord;chassis=Nord 12;engine=Nord V8;year=1967;\n"
              "table_end;\n\n");
}

TEST(ReportTest, SemikvResultTables) {
    TestWeekend w;
    w.add(entry(1, 1, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 2, {driver(20, "Bo", "Lind")}));
    w.add(entry(3, 3, {driver(30, "Carl", "Holm")}));
    w.session(SessionType::RACE, {{1, {lap(10000), lap(100000), lap(190000), lap(280000)}},
                            {2, {lap(10500), lap(101000, LapFlag::offTrack), lap(192000), lap(283500)}},
                            {3, {lap(11500), lap(110000)}}});

    const std::string out = semikv(w.weekend);
    EXPECT_TRUE(contains(out,
                         "table_start;table=Race Results;\n"
                         "pos=1;startnum=1;drivername=Anna Berg;laps=3;clock=4:30.000;gap=0.000;diff=0.000;remark=;\n"
                         "pos=2;startnum=2;drivername=Bo Lind;laps=3;clock=4:33.500;gap=3.500;diff=3.500;remark=;\n"
                         "pos=3;startnum=3;drivername=Carl Holm;laps=1;clock=1:40.000;gap=10.000;diff=9.000;remark=DNF;\n"
                         "table_end;\n\n"
                         "table_start;table=Race Fastest Laps;\n"
                         "pos=1;startnum=1;drivername=Anna Berg;laptime=1:30.000;gap=0.000;lap=3;clock=4:40.000;"
                         "lapsvalid=3;lapstotal=3;remark=;\n"
                         "pos=2;startnum=2;drivername=Bo Lind;laptime=1:30.500;gap=0.500;lap=1;clock=1:41.000;"
                         "lapsvalid=3;lapstotal=3;remark=Off Track;\n"
                         "pos=3;startnum=3;drivername=Carl Holm;laptime=1:38.500;gap=8.500;lap=1;clock=1:50.000;"
                         "lapsvalid=1;lapstotal=1;remark=;\n"
                         "table_end;\n\n"
                         "semikv_end;\n"))
        << out;
}

// ---- Lap-time listings -----------------------------------------------------

TEST(ReportTest, LapListingsCoverEverySessionNumberedFromOne) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 8, {driver(20, "Bo", "Lind")}));
    w.session(SessionType::TESTING, {{1, {lap(61000)}}});
    w.session(SessionType::PRACTICE, {});
    w.session(SessionType::RACE, {{1, {lap(90000), lap(185500, LapFlag::offTrack | LapFlag::invalid)}}, {2, {}}});
    const ReportOptions o = only(&ReportOptions::laps);

    EXPECT_EQ(text(w.weekend, o),
              "\n"
              "Race Results\n\n"
              "Pos Num Driver                  Laps     Clock        Gap       Diff   Remark\n"
              " 1.   5 Anna Berg                 1     1:35.500     0.000     -0.000  \n\n"
              "Session 1 (TESTING) Laptimes\n\n"
              "Car number 5 laptimes\n"
              "  0:  1:01.000  \n\n"
              "Session 2 (PRACTICE) Laptimes\n\n"
              "Session 3 (RACE) Laptimes\n\n"
              "Car number 5 laptimes\n"
              "  0:  1:30.000  \n"
              "  1:  1:35.500  Off Track Invalid\n\n"
              "Car number 8 laptimes\n\n");

    EXPECT_EQ(semikv(w.weekend, o),
              "semikv_start;semikv_version=1;gridtally_version=v0.6.4;\n\n"
              "table_start;table=Race Results;\n"
              "pos=1;startnum=5;drivername=Anna Berg;laps=1;clock=1:35.500;gap=0.000;diff=0.000;remark=;\n"
              "table_end;\n\n"
              "table_start;table_type=laptimes;table=Session 1 (TESTING) Car 5 laptimes;session=1;startnum=5;\n"
              "lap=0;laptime=1:01.000;clock=1:01.000;remark=;\n"
              "table_end;\n\n"
              "table_start;table_type=laptimes;table=Session 3 (RACE) Car 5 laptimes;session=3;startnum=5;\n"
              "lap=0;laptime=1:30.000;clock=1:30.000;remark=;\n"
              "lap=1;laptime=1:35.500;clock=3:05.500;remark=Off Track Invalid;\n"
              "table_end;\n\n"
              "table_start;table_type=laptimes;table=Session 3 (RACE) Car 8 laptimes;session=3;startnum=8;\n"
              "table_end;\n\n"
              "semikv_end;\n");
}

TEST(ReportTest, SemikvLapTimeOfAnEarlierClockWraps) {
    TestWeekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessionType::TESTING, {{1, {lap(2000), lap(1000)}}});
    const std::string out = semikv(w.weekend, only(&ReportOptions::laps));
    // 0xFFFFFC18 ms
    EXPECT_TRUE(contains(out, "lap=1;laptime=1193:02:46.296;clock=1.000;remark=;\n")) << out;
}

TEST(ReportTest, TextLapListingShowsEachCarsOwnCrossings) {
    TestWeekend w;
    w.add(entry(1, 101, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 102, {driver(20, "Bo", "Lind")}));
    w.add(entry(7, 7, {driver(70, "Carl", "Holm")}));
    // Flags of the first crossing show; a clock going backwards wraps; a car
    // without an entry has number 0; two lap lists under one car id each
    // show their own crossings.
    w.session(SessionType::PRACTICE, {{7, {lap(2'154), lap(85'610), lap(167'620, LapFlag::offTrack)}},
                                      {1, {}},
                                      {2, {lap(3'000, LapFlag::invalid), lap(2'000)}},
                                      {99, {lap(1'000)}},
                                      {7, {lap(2'000)}}});
    ReportOptions o = only(&ReportOptions::laps);
    o.practiceResults = false;
    EXPECT_EQ(text(w.weekend, o),
              "\n"
              "Session 1 (PRACTICE) Laptimes\n\n"
              "Car number 7 laptimes\n"
              "  0:     2.154  \n"
              "  1:  1:23.456  \n"
              "  2:  1:22.010  Off Track\n"
              "\n"
              "Car number 101 laptimes\n\n"
              "Car number 102 laptimes\n"
              "  0:     3.000  Invalid\n"
              "  1: 1193:02:46.296  \n"
              "\n"
              "Car number 0 laptimes\n"
              "  0:     1.000  \n"
              "\n"
              "Car number 7 laptimes\n"
              "  0:     2.000  \n"
              "\n");
}

// ---- Cells and the stream --------------------------------------------------

TEST(ReportCells, LapTimeLayoutsAndReservedValue) {
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
    EXPECT_EQ(formatLapTime(static_cast<std::int32_t>(noTime)), "-.---");
    EXPECT_EQ(formatLapTime(std::int32_t(-1)), "1193:02:47.295");
    EXPECT_EQ(formatLapTime(std::int32_t(3'500)), "3.500");
}

TEST(ReportCells, RemarksNamesAndOrder) {
    EXPECT_EQ(lapRemark(LapFlag::offTrack | LapFlag::invalid), "Off Track Invalid");
    EXPECT_EQ(lapRemark(LapFlag::unknown), "Unknown");
    EXPECT_EQ(lapRemark(LapFlag::offTrack | LapFlag::invalid | LapFlag::unknown), "Off Track Invalid Unknown");
    EXPECT_EQ(lapRemark(LapFlag::offTrack | LapFlag::unknown), "Off Track Unknown");
    EXPECT_EQ(lapRemark(0), "");
    EXPECT_STREQ(raceRemark(RaceResult{.retired = true}), "DNF");
    EXPECT_STREQ(raceRemark(RaceResult{}), "");
    EXPECT_EQ(displayName(driver(1, "", "Berg")), " Berg");
    EXPECT_EQ(displayName(driver(1, "Anna", "")), "Anna ");
}

// Remembers the size of every piece it is given.
class PieceSink final : public ReportSink {
public:
    void write(std::string_view piece) override {
        sizes.push_back(piece.size());
        text.append(piece);
    }
    std::vector<std::size_t> sizes;
    std::string text;
};

TEST(ReportTest, LargeReportReachesTheSinkInBoundedPiecesOfWholeRows) {
    TestWeekend w;
    CarLaps cars;
    for (std::int32_t c = 1; c <= 24; ++c) {
        w.add(entry(c, static_cast<std::int16_t>(c), {driver(c, "Anna", "Berg")}));
        std::vector<TimedLap> laps;
        for (std::uint32_t i = 0; i < 3000; ++i) laps.push_back(lap(1'000 + i * 5'000 + static_cast<std::uint32_t>(c)));
        cars.emplace_back(c, std::move(laps));
    }
    w.session(SessionType::RACE, cars);
    ReportOptions o;
    o.laps = true;
    for (ReportFormat format : {ReportFormat::TEXT, ReportFormat::SEMIKV, ReportFormat::JSON, ReportFormat::CSV}) {
        o.format = format;
        // A JSON row's comma comes with the next one.
        const char rowEnd = format == ReportFormat::JSON ? '}' : '\n';
        PieceSink sink;
        writeReport(w.weekend, o, sink);
        ASSERT_GT(sink.text.size(), ReportStream::pieceSize);
        std::size_t at = 0;
        for (std::size_t i = 0; i < sink.sizes.size(); ++i) {
            EXPECT_LT(sink.sizes[i], ReportStream::pieceSize + 4096);
            at += sink.sizes[i];
            // Every document ends with a line end.
            EXPECT_EQ(sink.text[at - 1], i + 1 == sink.sizes.size() ? '\n' : rowEnd)
                << "piece " << i << " ends inside a row";
        }
    }
}

} // namespace
