// The report writers on weekends assembled in code.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data.h"
#include "globals.h"
#include "report.h"
#include "repsemikv.h"
#include "reptxt.h"
#include "rpylib.h"
#include "testutil.h"
#include "timing.h"

namespace {

std::uint32_t lap(std::uint32_t clock, std::uint8_t flags = 0) {
    return clock | std::uint32_t(flags) << 24;
}

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

using CarLapWords = std::vector<std::pair<std::int32_t, std::vector<std::uint32_t>>>;

// A weekend with one event; sessions get real TimingGPL objects read from lap
// records held here.
class Weekend {
public:
    Weekend() {
        data.saverName = "Saver";
        data.saverVersion = "2.1";
        data.events.emplace_back();
        event().track = "Lakeside";
        event().carset = "Classic 67";
    }

    Event& event() { return data.events.front(); }

    void add(Entry e) { event().entries.push_back(std::move(e)); }

    void session(SessT type, const CarLapWords& cars) {
        Session s;
        s.type = type;
        RpySession rs;
        for (const auto& [carId, words] : cars) {
            std::vector<std::uint8_t>& bytes = lapBytes_.emplace_back();
            for (std::uint32_t w : words)
                for (int shift = 0; shift < 32; shift += 8) bytes.push_back(std::uint8_t(w >> shift));
            rs.cars.push_back(CarLaps{carId, LapTimes(bytes.data(), words.size())});
        }
        s.timing = std::make_shared<TimingGPL>(s, rs, event().entries);
        event().sessions.push_back(s);
    }

    DataGPL data;

private:
    std::deque<std::vector<std::uint8_t>> lapBytes_;
};

class ReportTest : public ::testing::Test {
protected:
    std::string errText() { return stderr_.text(); }

    static void loadCarset() {
        IniSection carset;
        carset.name = "Carset";
        globals().carsetIni.sections.push_back(carset);
    }

    static void setFlag(Flag f, bool on) { globals().reportFlags[f] = on; }

    static std::string text(const Data& d) { return Report(d, OutputFormat::TXT).toString(); }
    static std::string semikv(const Data& d) { return Report(d, OutputFormat::SEMIKV).toString(); }

private:
    testutil::StderrCapture stderr_;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

::testing::AssertionResult startsWith(const std::string& text, const std::string& prefix) {
    if (text.compare(0, prefix.size(), prefix) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "text:\n" << text << "\ndoes not start with:\n" << prefix;
}

// ---- Text tables -----------------------------------------------------------

TEST_F(ReportTest, TextEntryListSortsByNumberAndListsEveryDriver) {
    Weekend w;
    w.add(entry(1, 12, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 3, {driver(20, "Bo", "Lind", "SWE", "GEM+ 2.3.1"), driver(21, "Carl", "Holm", "")},
                "Holm Racing Organisation", "Holm HR2", "Holm V12", 1968));
    w.add(entry(3, 7, {driver(30, "Dag", "Ek")}, "Scuderia Lungonome Corse Sport Team",
                "Lungo 312", "Lungo V12", 0));
    w.add(entry(4, 3, {driver(40, "Eva", "Falk")}));

    std::string out;
    appendTextEntryList(out, w.event().entries);
    EXPECT_EQ(out,
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

TEST_F(ReportTest, TextColumnsPadByVisibleCharactersAndNeverCut) {
    Weekend w;
    // "É" as one code point, "ö" as o + combining diaeresis: both one column.
    w.add(entry(1, 5, {driver(10, "\xC3\x89lodie", "Marchand-Lefe\xCC\x88vre-Dupont", "FRA")}));
    std::string out;
    appendTextEntryList(out, w.event().entries);
    EXPECT_TRUE(contains(out, "      \xC3\x89lodie Marchand-Lefe\xCC\x88vre-DupontFRA    \n")) << out;

    Weekend v;
    v.add(entry(1, 5, {driver(10, "\xC3\x89va", "N\xC3\xA9meth", "HUN")}));
    out.clear();
    appendTextEntryList(out, v.event().entries);
    EXPECT_TRUE(contains(out, "      \xC3\x89va N\xC3\xA9meth             HUN    \n")) << out;
}

TEST_F(ReportTest, TextBestLapTableRanksCarsWithValidLapsOnly) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 8, {driver(20, "Bo", "Lind")}));
    w.add(entry(3, 9, {driver(30, "Carl", "Holm")}));
    w.session(SessT::PRACTICE, {{1, {lap(10000), lap(95000), lap(178500, LapFlag::offTrack)}},
                                {2, {lap(12000), lap(94000), lap(180000, 0x10)}},
                                {3, {lap(15000), lap(99000, 0x10)}}});

    std::string out;
    appendTextBestLaps(out, "Practice Results", w.event().sessions[0], w.event().entries);
    EXPECT_EQ(out,
              "Practice Results\n\n"
              "Pos Num Driver                     Time        Gap   Lap      Clock   VLaps TLaps  Remark\n"
              " 1.   8 Bo Lind                  1:22.000     0.000    1     1:34.000     1     2  \n"
              " 2.   5 Anna Berg                1:23.500     1.500    2     2:58.500     2     2  Off Track\n"
              "\n");
}

TEST_F(ReportTest, TablesWithoutResultsAreLeftOutWhole) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessT::RACE, {{1, {lap(10000), lap(95000, 0x10)}}});
    w.session(SessT::RACE, {});

    std::string out;
    appendTextBestLaps(out, "Race Fastest Laps", w.event().sessions[0], w.event().entries);
    appendSemikvBestLaps(out, "Race Fastest Laps", w.event().sessions[0], w.event().entries);
    appendTextRaceResults(out, w.event().sessions[1], w.event().entries);
    appendSemikvRaceResults(out, w.event().sessions[1], w.event().entries);
    EXPECT_EQ(out, "");
}

TEST_F(ReportTest, TextRaceResultsShowLappedAndRetiredCars) {
    Weekend w;
    w.add(entry(1, 1, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 2, {driver(20, "Bo", "Lind")}));
    w.add(entry(3, 3, {driver(30, "Carl", "Holm")}));
    w.add(entry(4, 4, {driver(40, "Dag", "Ek")}));
    w.session(SessT::RACE, {{1, {lap(10000), lap(100000), lap(190000), lap(280000)}},
                            {2, {lap(10500), lap(101000), lap(192000), lap(283500)}},
                            {3, {lap(11000), lap(150000), lap(290000)}},
                            {4, {lap(11500), lap(110000)}}});

    std::string out;
    appendTextRaceResults(out, w.event().sessions[0], w.event().entries);
    EXPECT_EQ(out,
              "Race Results\n\n"
              "Pos Num Driver                  Laps     Clock        Gap       Diff   Remark\n"
              " 1.   1 Anna Berg                 3     4:30.000     0.000     -0.000  \n"
              " 2.   2 Bo Lind                   3     4:33.500     3.500     -3.500  \n"
              " 3.   3 Carl Holm                 2     4:40.000    10.000  -1:38.000  \n"
              " 4.   4 Dag Ek                    1     1:40.000    10.000     -9.000  DNF\n"
              "\n");
}

TEST_F(ReportTest, TextRaceWithOneCar) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessT::RACE, {{1, {lap(5000), lap(95000), lap(185000)}}});

    EXPECT_TRUE(contains(text(w.data),
                         "Race Results\n\n"
                         "Pos Num Driver                  Laps     Clock        Gap       Diff   Remark\n"
                         " 1.   5 Anna Berg                 2     3:00.000     0.000     -0.000  \n\n"
                         "Race Fastest Laps\n\n"
                         "Pos Num Driver                     Time        Gap   Lap      Clock   VLaps TLaps  Remark\n"
                         " 1.   5 Anna Berg                1:30.000     0.000    2     3:05.000     2     2  \n\n"));
}

TEST_F(ReportTest, ResultRowsOfUnknownCarsUseTheDefaultEntryAndDriver) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessT::PRACTICE, {{1, {lap(5000), lap(95000)}}});
    // Drop the entry after the timing was built: the lookups find nothing.
    w.event().entries.clear();

    std::string out;
    appendTextBestLaps(out, "Practice Results", w.event().sessions[0], w.event().entries);
    EXPECT_TRUE(contains(out, " 1.   0                          1:30.000")) << out;
}

// ---- Section order and switches --------------------------------------------

TEST_F(ReportTest, TextSectionsAndTheirOrder) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessT::TESTING, {{1, {lap(5000), lap(95000)}}});
    w.session(SessT::RACE, {{1, {lap(5000), lap(95000)}}});
    w.session(SessT::PRACTICE, {{1, {lap(5000), lap(95000)}}});

    const std::string out = text(w.data);
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

TEST_F(ReportTest, EntryListSwitchedOff) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessT::PRACTICE, {{1, {lap(5000), lap(95000)}}});
    setFlag(Flag::ENTRY_LIST, false);
    setFlag(Flag::REPLAY_INFO, false);
    setFlag(Flag::EVENT_INFO, false);

    EXPECT_TRUE(startsWith(text(w.data), "\nPractice Results\n\n"));
    EXPECT_TRUE(startsWith(semikv(w.data), "semikv_start;semikv_version=1;gridtally_version=v0.6.4;\n\n"
              "table_start;table=Practice Results;\n"
              "pos=1;startnum=5;drivername="));
}

TEST_F(ReportTest, ResultSwitchesHideTheirTables) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessT::PRACTICE, {{1, {lap(5000), lap(95000)}}});
    w.session(SessT::RACE, {{1, {lap(5000), lap(95000)}}});
    setFlag(Flag::PRACTICE_RESULTS, false);
    std::string out = text(w.data) + semikv(w.data);
    EXPECT_FALSE(contains(out, "Practice Results"));
    EXPECT_TRUE(contains(out, "Race Results"));

    setFlag(Flag::PRACTICE_RESULTS, true);
    setFlag(Flag::RACE_RESULTS, false);
    out = text(w.data) + semikv(w.data);
    EXPECT_TRUE(contains(out, "Practice Results"));
    EXPECT_FALSE(contains(out, "Race Results"));
    EXPECT_FALSE(contains(out, "Race Fastest Laps"));
}

TEST_F(ReportTest, NoHeaderWithCarsetStartsWithCarsetInfo) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.data.carsetInfo = CarsetInfo{"Classic 67", "c67", "gpl67", "C67", 1967};
    loadCarset();
    setFlag(Flag::REPLAY_INFO, false);
    setFlag(Flag::EVENT_INFO, false);

    EXPECT_TRUE(startsWith(text(w.data), "Carset Info\n"
              "name      : Classic 67\n"
              "cardir    : c67\n"
              "physics   : gpl67\n"
              "shortid   : C67\n"
              "year      : 1967\n"
              "Entry List\n"));
    EXPECT_TRUE(startsWith(semikv(w.data), "semikv_start;semikv_version=1;gridtally_version=v0.6.4;\n\n"
              "table_start;table=Carset Info;\n"
              "name=Classic 67;cardir=c67;physics=gpl67;shortid=C67;year=1967;\n"
              "table_end;\n\n"
              "table_start;table=Entry List;\n"));
}

TEST_F(ReportTest, CarsetInfoWithEmptyValues) {
    Weekend w;
    w.data.carsetInfo = CarsetInfo{"Classic 67", "", "", "C67", 0};
    // Without a loaded carset the section is absent whatever carsetInfo holds.
    EXPECT_FALSE(contains(text(w.data), "Carset Info"));
    EXPECT_FALSE(contains(semikv(w.data), "Carset Info"));

    loadCarset();
    EXPECT_TRUE(startsWith(text(w.data), "Carset Info\n"
              "name      : Classic 67\n"
              "shortid   : C67\n"
              "Replay Info\n"));
    EXPECT_TRUE(contains(semikv(w.data),
                         "table_start;table=Carset Info;\n"
                         "name=Classic 67;cardir=;physics=;shortid=C67;year=0;\n"
                         "table_end;\n\n"
                         "table_start;table=Replay Info;\n"));
}

TEST_F(ReportTest, UnsupportedFormatAndEmptyEventList) {
    Weekend w;
    EXPECT_EQ(Report(w.data, static_cast<OutputFormat>(2)).toString(), "");
    EXPECT_EQ(errText(), "Output format not supported\n");

    DataGPL empty;
    EXPECT_EQ(text(empty), "");
    EXPECT_EQ(semikv(empty), "");
    EXPECT_EQ(errText(), "Output format not supported\n");
}

// ---- Semikv ----------------------------------------------------------------

TEST_F(ReportTest, SemikvFieldsEscapeOnlyTheSemicolonsOfValues) {
    std::string out;
    appendSemikv(out, "a=%s;b=%d;", "x;y=z\x12w\n", 7);
    EXPECT_EQ(out, "a=x\xCD\xBEy=z\x12w\n;b=7;");
    out.clear();
    appendSemikv(out, "name=%s;", "");
    EXPECT_EQ(out, "name=;");
    // Several escaped values in one line each keep their own text.
    out.clear();
    appendSemikv(out, "a=%s;b=%s;c=%s;d=%-4s;\n", "1;2", "plain", std::string(40, ';'), ";");
    std::string many;
    for (int i = 0; i < 40; ++i) many += "\xCD\xBE";
    EXPECT_EQ(out, "a=1\xCD\xBE" "2;b=plain;c=" + many + ";d=\xCD\xBE   ;\n");
}

TEST_F(ReportTest, SemikvDocumentFrameAndInfoTables) {
    Weekend w;
    w.data.saverName = "Sa;ver";
    w.event().carset = "Classic;67";
    const std::string out = semikv(w.data);
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

TEST_F(ReportTest, SemikvEntryListLineFeedsFollowTheDrivers) {
    Weekend w;
    w.add(entry(1, 10, {driver(10, "Anna", "Berg;Ek", "", "tag=1")}, "Team;Nord"));
    w.add(entry(2, 2, {driver(20, "Bo", "Lind"), driver(21, "Carl", "Holm", "SWE")}));
    w.add(entry(3, 4, {}));

    std::string out;
    appendSemikvEntryList(out, w.event().entries);
    EXPECT_EQ(out,
              "table_start;table=Entry List;\n"
              "startnum=2;team=Team Nord;chassis=Nord 12;engine=Nord V8;year=1967;"
              "driver1_name=Bo Lind;driver1_nat=GBR;driver1_remark=;\n"
              "driver2_name=Carl Holm;driver2_nat=SWE;driver2_remark=;\n"
              "startnum=4;team=Team Nord;chassis=Nord 12;engine=Nord V8;year=1967;"
              "startnum=10;team=Team\xCD\xBENord;chassis=Nord 12;engine=Nord V8;year=1967;"
              "driver1_name=Anna Berg\xCD\xBE" "Ek;driver1_nat=;driver1_remark=tag=1;\n"
              "table_end;\n\n");

    // The end marker keeps a line of its own after a driverless last entry.
    out.clear();
    appendSemikvEntryList(out, Entries{{entry(5, 12, {})}});
    EXPECT_EQ(out,
              "table_start;table=Entry List;\n"
              "startnum=12;team=Team Nord;chassis=Nord 12;engine=Nord V8;year=1967;\n"
              "table_end;\n\n");
}

TEST_F(ReportTest, SemikvResultTables) {
    Weekend w;
    w.add(entry(1, 1, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 2, {driver(20, "Bo", "Lind")}));
    w.add(entry(3, 3, {driver(30, "Carl", "Holm")}));
    w.session(SessT::RACE, {{1, {lap(10000), lap(100000), lap(190000), lap(280000)}},
                            {2, {lap(10500), lap(101000, 0x40), lap(192000), lap(283500)}},
                            {3, {lap(11500), lap(110000)}}});

    const std::string out = semikv(w.data);
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

TEST_F(ReportTest, LapListingsCoverEverySessionNumberedFromOne) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.add(entry(2, 8, {driver(20, "Bo", "Lind")}));
    w.session(SessT::TESTING, {{1, {lap(61000)}}});
    w.session(SessT::PRACTICE, {});
    w.session(SessT::RACE, {{1, {lap(90000), lap(185500, 0x50)}}, {2, {}}});
    setFlag(Flag::LAPS, true);
    setFlag(Flag::ENTRY_LIST, false);
    setFlag(Flag::REPLAY_INFO, false);
    setFlag(Flag::EVENT_INFO, false);

    EXPECT_EQ(text(w.data),
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

    EXPECT_EQ(semikv(w.data),
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

TEST_F(ReportTest, SemikvLapTimeOfAnEarlierClockWraps) {
    Weekend w;
    w.add(entry(1, 5, {driver(10, "Anna", "Berg")}));
    w.session(SessT::TESTING, {{1, {lap(2000), lap(1000)}}});
    std::string out;
    appendSemikvLapTimes(out, w.event().sessions, w.event().entries);
    // 0xFFFFFC18 ms
    EXPECT_TRUE(contains(out, "lap=1;laptime=1193:02:46.296;clock=1.000;remark=;\n")) << out;
}

} // namespace
