// Season standings end to end: season files and race replays written here,
// the real binary run on them, its standings compared row for row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cstbuilder.h"
#include "rpybuilder.h"
#include "season/season.h"
#include "season/season_file.h"
#include "season/standings.h"
#include "testutil.h"

using namespace rpybuilder;
using testutil::RunOptions;
using testutil::TempDir;

namespace {

// One car of a test race: its driver, its make (whose built-in team names
// the team), and how far and how long it ran. The fastest car's first lap
// is five seconds quicker than any other lap of the race.
struct Car {
    std::string first;
    std::string last;
    std::uint32_t make = 0;
    std::uint32_t laps = 10;
    std::uint32_t seconds = 600;
    bool fastest = false;
    std::uint32_t ms = 0; // added to the race time
};
using Race = std::vector<Car>;

ReplaySpec raceOf(const Race& cars) {
    ReplaySpec r;
    r.weekend.sessions = {{SessionType::RACE, 10, 604800.0}};
    SessionSpec race;
    for (std::size_t i = 0; i < cars.size(); ++i) {
        const Car& c = cars[i];
        const auto id = static_cast<std::int32_t>(i + 1);
        r.drivers.push_back(DriverSpec{.firstName = c.first, .lastName = c.last, .driverId = id,
                                       .carIndex = c.make, .carId = id, .number = id});
        CarSpec car{id, {lapWord(1000 + static_cast<std::uint32_t>(i))}};
        const std::uint32_t lap = c.seconds * 1000 / c.laps;
        for (std::uint32_t k = 1; k <= c.laps; ++k) {
            std::uint32_t clock = 1000 + static_cast<std::uint32_t>(i) + k * lap;
            if (c.fastest && k == 1) clock -= 5000;
            if (k == c.laps) clock = 1000 + static_cast<std::uint32_t>(i) + c.seconds * 1000 + c.ms;
            car.laps.push_back(lapWord(clock));
        }
        race.cars.push_back(car);
    }
    r.sessions = {race};
    return r;
}

// A season in the folder "league" below dir: its [Season] keys, one race
// per round (league/rN.rpy), and what follows the rounds.
struct League {
    std::string season;
    std::vector<Race> rounds;
    std::string tail;
};

void writeLeague(const TempDir& dir, const League& league) {
    std::string text = "[Season]\n" + league.season;
    for (std::size_t n = 1; n <= league.rounds.size(); ++n) {
        const std::string name = "r" + std::to_string(n) + ".rpy";
        writeReplay(dir.write("league/" + name, ""), raceOf(league.rounds[n - 1]));
        text += "[Round" + std::to_string(n) + "]\nReplay=" + name + "\n";
    }
    dir.write("league/season.ini", text + league.tail);
}

testutil::RunResult standings(const TempDir& dir, std::vector<std::string> args) {
    RunOptions o;
    o.cwd = dir.path();
    args.insert(args.begin(), {"--season", "league/season.ini"});
    return testutil::runGridtally(args, o);
}

// The CSV rows after the byte-order mark and the header.
std::string csvRows(const std::string& csv) {
    const std::size_t header = csv.find('\n');
    return header == std::string::npos ? csv : csv.substr(header + 1);
}

const Car ann{"Ann", "Able"}, bob{"Bob", "Best"}, cat{"Cat", "Cole"}, dan{"Dan", "Dorn"};

Car with(Car car, std::uint32_t laps, std::uint32_t seconds, std::uint32_t make = 0, bool fastest = false) {
    car.laps = laps;
    car.seconds = seconds;
    car.make = make;
    car.fastest = fastest;
    return car;
}

struct ScoringCase {
    const char* rule;
    League league;
    std::string drivers; // CSV rows
    std::string teams{}; // CSV rows with --teams; empty: not checked
};

} // namespace

TEST(Season, ScoringRules) {
    const std::vector<ScoringCase> cases{
        {"points by classification row, none past the list; every car classified without Classified",
         {"Points=3,2\n", {{with(ann, 10, 600), with(bob, 10, 610), with(cat, 9, 590)}}, ""},
         "1,Ann Able,3,1,3,classified,false\n2,Bob Best,2,2,2,classified,false\n3,Cat Cole,0,3,0,classified,false\n"},
        {"Classified=P% of the winner's laps",
         {"Points=3,2,1\nClassified=90%\n", {{with(ann, 10, 600), with(bob, 9, 590), with(cat, 8, 500)}}, ""},
         "1,Ann Able,3,1,3,classified,false\n2,Bob Best,2,2,2,classified,false\n"
         "3,Cat Cole,0,,0,not classified,false\n"},
        {"a time penalty re-ranks the cars with equal laps only",
         {"Points=4,3,2,1\n",
          {{with(ann, 10, 600), with(bob, 10, 605), with(cat, 10, 620), with(dan, 9, 540)}},
          "[Penalties]\n1.Ann Able=+5.5 s\n1.Cat Cole=+100s\n"},
         "1,Bob Best,4,1,4,classified,false\n2,Ann Able,3,2,3,classified,false\n"
         "3,Cat Cole,2,3,2,classified,false\n4,Dan Dorn,1,4,1,classified,false\n"},
        {"a fractional penalty in thousandths: +1.5 s puts Ann behind Bob, who finished 1.201 s later",
         {"Points=2,1\n", {{with(ann, 10, 600), Car{"Bob", "Best", 0, 10, 601, false, 200}}},
          "[Penalties]\n1.Ann Able=+1.5s\n"},
         "1,Bob Best,2,1,2,classified,false\n2,Ann Able,1,2,1,classified,false\n"},
        {"a points bonus", {"Points=3,2\n", {{ann, bob}}, "[Penalties]\n1.Bob Best=+2 points\n"},
         "1,Bob Best,4,2,4,classified,false\n2,Ann Able,3,1,3,classified,false\n"},
        {"Drop counts rounds still to come: best 2 of 3, so both held rounds count; an upcoming round has no column",
         {"Points=3,2\nDrop=1\n", {{ann, bob}, {bob, ann}}, "[Round3]\nDate=2024-06-01\nTrack=Spa\n"},
         "1,Bob Best,5,2,2,classified,false,1,3,classified,false\n"
         "2,Ann Able,5,1,3,classified,false,2,2,classified,false\n"},
        {"Drop picks rounds by their race points; a points penalty counts whichever round drops",
         {"Points=3,2\nDrop=1\n", {{ann, bob}, {ann, bob}}, "[Penalties]\n1.Ann Able=-5 points\n"},
         "1,Bob Best,2,2,2,classified,true,2,2,classified,false\n"
         "2,Ann Able,-2,1,-2,classified,true,1,3,classified,false\n"},
        {"a DSQ removes the car, those behind move up; its fastest lap goes to nobody",
         {"Points=3,2,1\nFastestLap=5\n", {{with(ann, 10, 600, 0, true), with(bob, 10, 605), with(cat, 10, 610)}},
          "[Penalties]\n1.Ann Able=DSQ\n"},
         "1,Bob Best,3,1,3,classified,false\n2,Cat Cole,2,2,2,classified,false\n3,Ann Able,0,,0,DSQ,false\n"},
        {"the fastest-lap bonus needs a classified car within FastestLapTop",
         {"Points=3,2,1\nFastestLap=2\nFastestLapTop=2\nClassified=50%\n",
          {{with(ann, 10, 600), with(bob, 10, 605), with(cat, 10, 610, 0, true)},
           {with(ann, 10, 600), with(bob, 10, 605, 0, true), with(cat, 10, 610)},
           {with(ann, 10, 600), with(bob, 10, 605), with(cat, 4, 240, 0, true)}},
          ""},
         "1,Ann Able,9,1,3,classified,false,1,3,classified,false,1,3,classified,false\n"
         "2,Bob Best,8,2,2,classified,false,2,4,classified,false,2,2,classified,false\n"
         "3,Cat Cole,2,3,1,classified,false,3,1,classified,false,,0,not classified,false\n"},
        {"a points penalty may take a round below 0; teams sum their cars' round scores",
         {"Points=3,2\n", {{with(ann, 10, 600, 5), with(bob, 10, 605, 5), with(cat, 10, 610, 0)}},
          "[Penalties]\n1.Bob Best=-3 points\n1.Cat Cole=-1 point\n"},
         "1,Ann Able,3,1,3,classified,false\n2,Bob Best,-1,2,-1,classified,false\n"
         "3,Cat Cole,-1,3,-1,classified,false\n",
         "1,Team Lotus,2,2\n2,Brabham Racing Organisation,-1,-1\n"},
        {"a missed round is absent; Drop=N drops the lowest, earliest of equals first; teams drop nothing",
         {"Points=3,2\nDrop=1\n",
          {{with(ann, 10, 600, 5), with(bob, 10, 605, 0)},
           {with(ann, 10, 600, 5)},
           {with(ann, 10, 600, 5), with(bob, 10, 605, 0)}},
          ""},
         "1,Ann Able,6,1,3,classified,true,1,3,classified,false,1,3,classified,false\n"
         "2,Bob Best,4,2,2,classified,false,,0,absent,true,2,2,classified,false\n",
         "1,Team Lotus,9,3,3,3\n2,Brabham Racing Organisation,4,2,,2\n"},
        {"equal points: more wins first, whatever the names",
         {"Points=1,1\n", {{with(dan, 10, 600), with(ann, 10, 605)}}, ""},
         "1,Dan Dorn,1,1,1,classified,false\n2,Ann Able,1,2,1,classified,false\n"},
        {"equal count-back: the better position in the latest round",
         {"Points=1,1\n", {{with(ann, 10, 600), with(dan, 10, 605)}, {with(dan, 10, 600), with(ann, 10, 605)}}, ""},
         "1,Dan Dorn,2,2,1,classified,false,1,1,classified,false\n"
         "2,Ann Able,2,1,1,classified,false,2,1,classified,false\n"},
        {"equal count-back: a position beats none in the latest round",
         {"Points=1,1\n",
          {{with(dan, 10, 600), with(ann, 10, 605)}, {with(ann, 10, 600)}, {with(cat, 10, 600), with(dan, 10, 605)}},
          ""},
         "1,Dan Dorn,2,1,1,classified,false,,0,absent,false,2,1,classified,false\n"
         "2,Ann Able,2,2,1,classified,false,1,1,classified,false,,0,absent,false\n"
         "3,Cat Cole,1,,0,absent,false,,0,absent,false,1,1,classified,false\n"},
        {"no classified positions to tell them apart: the name",
         {"Points=1\nClassified=50%\n", {{with(cat, 10, 600), with(dan, 4, 300), with(bob, 3, 200)}}, ""},
         "1,Cat Cole,1,1,1,classified,false\n2,Bob Best,0,,0,not classified,false\n"
         "3,Dan Dorn,0,,0,not classified,false\n"},
        {"aliases join names; a penalty may use either name",
         {"Points=2,1\n", {{with(ann, 10, 600), with(bob, 10, 605)}, {with(Car{"A.", "Able"}, 10, 600), with(bob, 10, 605)}},
          "[Aliases]\nA. Able=Ann Able\n[Penalties]\n2.A. Able=-1 points\n"},
         "1,Ann Able,3,1,2,classified,false,1,1,classified,false\n"
         "2,Bob Best,2,2,1,classified,false,2,1,classified,false\n"},
    };
    for (const ScoringCase& c : cases) {
        TempDir dir;
        writeLeague(dir, c.league);
        const auto r = standings(dir, {"--format=csv"});
        ASSERT_EQ(r.status, 0) << c.rule << "\n" << r.err;
        EXPECT_EQ(r.err, "") << c.rule;
        EXPECT_EQ(csvRows(r.out), c.drivers) << c.rule;
        if (c.teams.empty()) continue;
        EXPECT_EQ(csvRows(standings(dir, {"--format=csv", "--teams"}).out), c.teams) << c.rule;
    }
}

// The chart's figures: after round k, the drop rule of the rounds held up to
// k, never the final drops applied backwards.
TEST(Season, PointsAfterEachRoundAsTheStandingsStoodThen) {
    struct Round {
        std::int64_t points; // with the adjustment
        std::int64_t adjustment = 0;
        bool absent = false;
    };
    struct Case {
        const char* rule;
        std::size_t counted;
        std::vector<Round> rounds;
        std::vector<std::int64_t> totals;
    };
    const std::vector<Case> cases{
        {"best 4 of 6: the second round counts until a fifth is held", 4, {{9}, {6}, {9}, {9}, {0}},
         {9, 15, 24, 33, 33}},
        {"best 2 of 3: the lowest drops once the third is held", 2, {{3}, {2}, {3}}, {3, 5, 6}},
        {"an absent round scores 0 and drops first", 2, {{3}, {0, 0, true}, {2}}, {3, 3, 5}},
        {"a points penalty counts whichever round drops", 1, {{-2, -5}, {2}}, {-2, -2}},
        {"nothing drops: a running sum", 3, {{1}, {0, 0, true}, {4}}, {1, 1, 5}},
    };
    for (const Case& c : cases) {
        Standings s;
        s.countedRounds = c.counted;
        s.rounds.resize(c.rounds.size());
        DriverStanding d;
        for (std::size_t i = 0; i < c.rounds.size(); ++i) {
            if (c.rounds[i].absent) continue;
            RoundResult r;
            r.round = i;
            r.status = RoundStatus::CLASSIFIED;
            r.position = 1;
            r.points = c.rounds[i].points;
            r.adjustment = c.rounds[i].adjustment;
            r.dropped = i == 0; // as the final standings may mark it: ignored
            d.results.push_back(r);
        }
        EXPECT_EQ(pointsAfterEachRound(s, d), c.totals) << c.rule;
    }
}

TEST(Season, BadInputNamesFileAndLineOrRoundAndWritesNothing) {
    const std::string good = "[Season]\nPoints=3,2\n[Round1]\nReplay=r1.rpy\n";
    // Round 1 of 1000 has 16001 drivers: refused before round 2 is read.
    std::string many = "[Season]\nPoints=1\n[Round1]\nReplay=crowd.rpy\n";
    for (int n = 2; n <= 1000; ++n) many += "[Round" + std::to_string(n) + "]\nReplay=r" + std::to_string(n) + ".rpy\n";
    struct Case {
        std::string season;
        int status;
        std::string err;
    } cases[] = {
        {"[Season]\nPoints=3,2\nPonits=1\n[Round1]\nReplay=r1.rpy\n", 2,
         "season.ini:3: unknown key 'Ponits' in [Season]; did you mean 'Points'?"},
        {"[Season]\nPoints=3,-2\n[Round1]\nReplay=r1.rpy\n", 2,
         "season.ini:2: Points must be a list of whole numbers from 0 to 1000000000, not '3,-2'"},
        {"[Season]\nPoints=3,2\n[Round1]\nCarset=x.cst\n", 2, "season.ini:4: [Round1] has a Carset but no Replay"},
        {"[Season]\nPoints=3,2\n[Round1]\nReplay=r1.rpy\nDate=2023-02-29\n", 2,
         "season.ini:5: Date must be a date as yyyy-mm-dd (2024-05-19), not '2023-02-29'"},
        {"[Season]\nPoints=3,2\nAccent=red\n[Round1]\nReplay=r1.rpy\n", 2,
         "season.ini:3: Accent must be a colour as #rrggbb, not 'red'"},
        {"[Season]\nPoints=3,2\nLogo=logo.gif\n[Round1]\nReplay=r1.rpy\n", 2,
         "season.ini:3: Logo must be a .png, .jpg, .jpeg or .svg file, not 'logo.gif'"},
        {"[Season]\nPoints=3,2\nLeage=X\n[Round1]\nReplay=r1.rpy\n", 2,
         "season.ini:3: unknown key 'Leage' in [Season]; did you mean 'League'?"},
        {"[Season]\nPoints=3,2\n[Round1]\nReplay=gone.rpy\n", 1, "Round 1: cannot read league/gone.rpy: no such file"},
        {"[Season]\nPoints=3,2\n[Round1]\nReplay=junk.rpy\n", 1,
         "Round 1 (league/junk.rpy): Unknown file header 'not ' reading file league/junk.rpy"},
        {"[Season]\nPoints=3,2\n[Round1]\nReplay=practice.rpy\n", 1,
         "Round 1 (league/practice.rpy): the replay holds no race"},
        {good + "[Penalties]\n2.Ann Able=DSQ\n", 2, "season.ini:6: penalty for round 2, which the season does not have"},
        {good + "[Penalties]\n1.Ann Abel=DSQ\n", 2, "season.ini:6: penalty for 'Ann Abel', who did not race in round 1"},
        {good + "[Penalties]\n1.Ann Able=30s\n", 2,
         "season.ini:6: a penalty is +N s (seconds added), DSQ, -N points or +N points, not '30s'"},
        {good + "[Aliases]\nA=B\nB=C\nC=A\n", 2, "season.ini:6: aliases make a loop: A = B = C = A"},
        {good + "[Aliases]\nBob Best=Ann Able\n", 2,
         "season.ini:6: 'Ann Able' and 'Bob Best' both race in round 1, and the aliases make them one driver, "
         "'Ann Able'"},
        {good + "Ann Able\n", 2, "season.ini:5: neither a [Section] header nor a key=value line"},
        {good + "[Round1x]\n", 2, "season.ini:5: unknown section [Round1x]"},
        {good + "Carset=none.cst\n", 2, "season.ini:5: cannot read league/none.cst: no such file"},
        {"[Season]\nPoints=3,2\n", 2, "season.ini: no rounds ([Round1] and so on)"},
        {"[Season]\nPoints=1\nDrop=1\n[Round1]\nReplay=r1.rpy\n", 2,
         "season.ini:3: Drop=1 leaves no round to count: the season has 1 round"},
        {many, 2,
         "season.ini: 16001 drivers or more over 1000 rounds are more than the standings hold (16000000 drivers x "
         "rounds)"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeLeague(dir, {"Points=1\n", {{ann, bob}}, ""});
        dir.write("league/junk.rpy", "not a replay");
        // The weekend plans a race, the replay holds only the practice.
        ReplaySpec practice = raceOf({ann});
        practice.weekend.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {SessionType::RACE, 10, 604800.0}};
        writeReplay(dir.file("league/practice.rpy"), practice);
        if (c.season == many) {
            ReplaySpec crowd = raceReplay(16001, 2);
            for (std::size_t d = 0; d < crowd.drivers.size(); ++d) crowd.drivers[d].lastName = std::to_string(d);
            writeReplay(dir.file("league/crowd.rpy"), crowd);
        }
        dir.write("league/season.ini", c.season);
        const auto r = standings(dir, {"-o", "out.txt"});
        EXPECT_EQ(r.status, c.status) << c.err;
        // Paths as the command line and the season file write them.
        EXPECT_EQ(r.err, "Error: " + (c.err.starts_with("season") ? "league/" + c.err : c.err) + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(testutil::fileExists(dir.file("out.txt"))) << c.err;
    }
}

// What the organiser may have got wrong, on standard error; the standings
// are written all the same.
TEST(Season, WarningsReachStandardErrorAndTheStandingsAreWritten) {
    const std::string head = "[Season]\nPoints=1\n[Round1]\nReplay=r1.rpy\n";
    struct Case {
        std::string season;
        std::string err;
    } cases[] = {
        {head + "[Round2]\nReplay=r2.rpy\n[Aliases]\nAnn Abel=Ann Able\nAnn Able=A. Able\nBob Best=B. Best\n",
         "Warning: league/season.ini:8: alias 'Ann Abel' matches no driver of any round\n"},
        {head + "[Round2]\nReplay=.\\r1.rpy\n[Round3]\nReplay=r1.rpy\n",
         "Warning: league/season.ini:6: round 2 reads the replay of round 1, .\\r1.rpy\n"
         "Warning: league/season.ini:8: round 3 reads the replay of round 1, r1.rpy\n"},
        {head + "Carset=other.cst\n", "Warning: league/season.ini:5: the carset league/other.cst names none of the cars "
                                       "of round 1\n"},
        {head + "[Round2]\nReplay=odd.rpy\n", "Warning: Round 2: (rpylib:601) Inconsistent session data.\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeLeague(dir, {"Points=1\n", {{ann, bob}, {ann, bob}}, ""});
        ReplaySpec odd = raceOf({ann, bob});
        odd.header.lastSession = 3; // one session recorded, four announced
        writeReplay(dir.file("league/odd.rpy"), odd);
        cstbuilder::CarsetSpec carset;
        carset.cars = {{40, "Some Team", "Some Car", "Some Engine"}};
        dir.write("league/other.cst", cstbuilder::carsetBytes(carset));
        dir.write("league/season.ini", c.season);
        const auto r = standings(dir, {"--format=csv"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_NE(r.out.find("\n1,"), std::string::npos) << c.err;
    }
}

TEST(Season, SeasonFileOnAFolder) {
    TempDir dir;
    writeLeague(dir, {"Points=1\n", {{ann}}, ""});
    RunOptions o;
    o.cwd = dir.path();
    const auto r = testutil::runGridtally({"--season", "league"}, o);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Error: league is a folder, not a season file\n");
}

TEST(Season, SeasonFileInUtf8WithByteOrderMarkOrInWindows1252) {
    // The replay holds "Jörg Müller" as Windows-1252, as the game writes it.
    const std::string utf8 = "[Season]\nPoints=1\n[Round1]\nReplay=r1.rpy\n"
                             "[Aliases]\nJ\xC3\xB6rg M\xC3\xBCller=J\xC3\xB6rg M\xC3\xBCller Jr.\n";
    const std::string cp1252 = "[Season]\nPoints=1\n[Round1]\nReplay=r1.rpy\n"
                               "[Aliases]\nJ\xF6rg M\xFCller=J\xF6rg M\xFCller Jr.\n";
    for (const std::string& bytes : {"\xEF\xBB\xBF" + utf8, cp1252}) {
        TempDir dir;
        writeLeague(dir, {"Points=1\n", {{Car{"J\xF6rg", "M\xFCller"}}}, ""});
        dir.write("league/season.ini", bytes);
        const auto r = standings(dir, {"--format=csv"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(csvRows(r.out), "1,J\xC3\xB6rg M\xC3\xBCller Jr.,1,1,1,classified,false\n");
    }
}

// The sample season (examples/season) in every format, byte for byte; the
// JSON and CSV also through real parsers and the JSON Schema, the page
// through an HTML5 parser.
TEST(Season, SampleSeasonInEveryFormat) {
    const std::string source = GRIDTALLY_SOURCE_DIR;
    const std::string season = source + "/examples/season/season.ini";
    TempDir dir;
    struct Golden {
        const char* file;
        std::vector<std::string> options;
    } goldens[] = {{"season.txt", {}},
                   {"season_semikv.txt", {"--format=semikv"}},
                   {"season.json", {"--format=json"}},
                   {"season.csv", {"--format=csv"}},
                   {"season_teams.csv", {"--format=csv", "--teams"}},
                   {"season.html", {"--format=html"}}};
    for (const Golden& g : goldens) {
        std::vector<std::string> args{"--season", season};
        args.insert(args.end(), g.options.begin(), g.options.end());
        const auto r = testutil::runGridtally(args);
        ASSERT_EQ(r.status, 0) << g.file << ": " << r.err;
        EXPECT_TRUE(r.out == testutil::readFile(source + "/tests/golden/" + g.file))
            << g.file << " differs from tests/golden/" << g.file;
        dir.write(g.file, r.out);
    }

    const auto check = testutil::checkJsonCsv({source + "/docs/season.schema.json", dir.path()});
    if (check.status != 77) {
        EXPECT_EQ(check.status, 0) << check.out << check.err;
        EXPECT_NE(check.out.find("3 files checked, 0 failed"), std::string::npos) << check.out;
    }
    const auto page = testutil::runCheckScript("html_check.py", {dir.file("season.html")});
    if (page.status != 77) {
        EXPECT_EQ(page.status, 0) << page.out << page.err;
    }
}

// Names from the season file and the replays reach the page as text only,
// and a right-to-left override in one reorders nothing outside it.
TEST(Season, PageKeepsHostileNamesAsText) {
    TempDir dir;
    const std::string name = "<script>alert(1)</script> & \"League\"";
    const std::string driver = "\u202E\"><img src=x onerror=alert(1)>";
    writeLeague(dir, {"Name=" + name + "\nPoints=1\n", {{ann, bob}}, "[Aliases]\nAnn Able=" + driver + "\n"});
    ASSERT_EQ(standings(dir, {"--format=html", "-o", "page.html"}).status, 0);
    const auto check =
        testutil::runCheckScript("html_check.py", {dir.file("page.html"), "--text", name, "--text", driver});
    // In the body a name sits in a <bdi>, or between FSI and PDI in a chart.
    const std::string page = testutil::readFile(dir.file("page.html"));
    const auto inside = [&](std::size_t at, const std::string& open, const std::string& close) {
        const std::size_t o = page.rfind(open, at);
        const std::size_t c = page.rfind(close, at);
        return o != std::string::npos && (c == std::string::npos || c < o);
    };
    std::size_t overrides = 0;
    for (std::size_t at = page.find("\u202E", page.find("<body>")); at != std::string::npos;
         at = page.find("\u202E", at + 1), ++overrides)
        EXPECT_TRUE(inside(at, "<bdi>", "</bdi>") || inside(at, "&#x2068;", "&#x2069;")) << page.substr(at - 20, 60);
    EXPECT_GE(overrides, 2u);
    if (check.status == 77) GTEST_SKIP() << check.out;
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

TEST(Season, PathsThatReachOtherMachinesOrTellTooMuch) {
    const struct {
        std::string path;
        bool network;
        std::string published;
    } cases[] = {
        {"\\\\host\\share\\r.rpy", true, "r.rpy"},
        {"//host/share/r.rpy", true, "r.rpy"},
        {"\\\\.\\COM1", true, "COM1"},
        {"\\\\?\\C:\\r.rpy", true, "r.rpy"},
        {"/home/ann/league/r.rpy", false, "r.rpy"},
        {"C:\\Users\\ann\\r.rpy", false, "r.rpy"},
        {"c:r.rpy", false, "r.rpy"},
        {"\\r.rpy", false, "r.rpy"},
        {"rounds\\r.rpy", false, "rounds\\r.rpy"},
        {"../r.rpy", false, "../r.rpy"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isNetworkOrDevicePath(c.path), c.network) << c.path;
        EXPECT_EQ(publishedReplay(c.path), c.published) << c.path;
    }
}

// An absolute replay path is published by its file name; a season named
// after a file name of any bytes is well-formed text.
TEST(Season, PublishedStandingsKeepTheOrganisersFoldersAndBytesOut) {
    TempDir dir;
    writeLeague(dir, {"Points=1\n", {{ann, bob}}, ""});
#ifdef _WIN32
    const std::string season = "league/s.ini";
#else
    const std::string season = "league/s\xFF.ini";
#endif
    dir.write(season, "[Season]\nPoints=1\n[Round1]\nReplay=" + dir.file("league/r1.rpy") + "\n");
    RunOptions o;
    o.cwd = dir.path();
    for (const char* format : {"--format=txt", "--format=semikv", "--format=json", "--format=html"}) {
        const auto r = testutil::runGridtally({"--season", season, format}, o);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.find(dir.path()), std::string::npos) << format;
        EXPECT_NE(r.out.find("r1.rpy"), std::string::npos) << format;
        EXPECT_EQ(r.out.find('\xFF'), std::string::npos) << format;
    }
}

// Thirty rounds of forty cars, each replay followed by 64 MiB of other data
// that must stay unread.
TEST(Season, ThirtyRoundsOfFortyCarsAreCheap) {
    TempDir dir;
    std::string text = "[Season]\nPoints=25,18,15,12,10,8,6,4,2,1\nFastestLap=1\nDrop=3\nClassified=90%\n";
    ReplaySpec race = raceReplay(40, 61);
    for (int c = 0; c < 40; ++c) race.drivers[static_cast<std::size_t>(c)].lastName = "Driver " + std::to_string(c);
    race.fillerBytes = 64u << 20;
    for (int n = 1; n <= 30; ++n) {
        writeReplay(dir.file("r" + std::to_string(n) + ".rpy"), race);
        text += "[Round" + std::to_string(n) + "]\nReplay=r" + std::to_string(n) + ".rpy\n";
    }
    dir.write("season.ini", text);
    RunOptions o;
    o.cwd = dir.path();
    const auto r = testutil::runGridtally({"--season", "season.ini"}, o);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n40. Test Driver 39 "), std::string::npos) << r.out;
    if (testutil::underWine()) return;
    // Thirty rounds cost at most about thirty times one round (the trailing
    // data is never read): the program compared with itself, never the clock.
    dir.write("one.ini", "[Season]\nPoints=25,18,15\n[Round1]\nReplay=r1.rpy\n");
    const auto one = testutil::runGridtally({"--season", "one.ini"}, o);
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_LT(r.cpuSeconds, 60 * one.cpuSeconds);
}
