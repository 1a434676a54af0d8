// The league's site end to end: the sample season's site built by the real
// binary, checked as a browser and a script would read it, and the folder
// it replaces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

using testutil::RunOptions;
using testutil::TempDir;

namespace {

// The sample season in dir/league, its carset beside it.
void copySample(const TempDir& dir) {
    const std::string examples = std::string(GRIDTALLY_SOURCE_DIR) + "/examples/";
    dir.write("gem67.cst", testutil::readFile(examples + "gem67.cst"));
    for (const char* file : {"season.ini", "logo.svg", "rounds/01-kyalami.rpy", "rounds/02-monaco.rpy",
                             "rounds/03-zandvoort.rpy", "rounds/04-spa.rpy", "rounds/05-monza.rpy"})
        dir.write(std::string("league/") + file, testutil::readFile(examples + "season/" + file));
}

testutil::RunResult site(const TempDir& dir, const std::string& season, const std::string& folder,
                         std::vector<std::string> more = {}) {
    RunOptions o;
    o.cwd = dir.path();
    std::vector<std::string> args{"--season", season, "--site", folder};
    args.insert(args.end(), more.begin(), more.end());
    return testutil::runGridtally(args, o);
}

} // namespace

TEST(Site, SampleSeasonSiteParsesLinksAndAddsUp) {
    TempDir dir;
    copySample(dir);
    const auto r = site(dir, "league/season.ini", "site");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    for (const char* file : {"index.html", "round-5.html", "round-5.json", "round-5.csv", "season.json",
                             "standings.csv", "teams.csv", "logo.svg", "drivers/niccolo-ferrandi.html"})
        EXPECT_TRUE(testutil::fileExists(dir.file("site/" + std::string(file)))) << file;
    EXPECT_FALSE(testutil::fileExists(dir.file("site/round-6.html"))) << "the upcoming round has no page";
    const std::string index = testutil::readFile(dir.file("site/index.html"));
    EXPECT_NE(index.find("after 5 of 6 rounds"), std::string::npos);
    EXPECT_NE(index.find("Mexico City"), std::string::npos);
    // The stewards' decisions reach the round pages.
    EXPECT_NE(testutil::readFile(dir.file("site/round-3.html")).find(">DSQ</span>"), std::string::npos);
#ifndef _WIN32
    // On a phone the index fits the window, and every standings row keeps
    // its position, name and points in view while the rounds scroll.
    const auto phone = testutil::runCheckScript(
        "browser_check.py", {"--phone", "--inside", ".standings td:nth-child(-n+3)", dir.file("site/index.html")});
    if (phone.status != 77) {
        EXPECT_EQ(phone.status, 0) << phone.out << phone.err;
    }
#endif
    // A round's page is titled by the round, its official result in the
    // place of the replay's race table, ahead of the rest of the race.
    const std::string round = testutil::readFile(dir.file("site/round-2.html"));
    EXPECT_NE(round.find("<h1><bdi>Round 2: Monte Carlo Cup</bdi></h1>\n<p class=\"sub\"><bdi>1967-05-07</bdi>"),
              std::string::npos);
    EXPECT_EQ(round.find("<h3>Race Results</h3>"), std::string::npos);
    const std::size_t official = round.find("<h3 id=\"official\">Official result</h3>");
    EXPECT_LT(round.find("<nav>"), official);
    EXPECT_LT(official, round.find("<h3>Race Fastest Laps</h3>"));
    EXPECT_LT(round.find("<figure>"), round.find("<h2>Entry List</h2>"));
    const auto check = testutil::runCheckScript(
        "site_check.py", {dir.file("site"), std::string(GRIDTALLY_SOURCE_DIR) + "/docs"});
    if (check.status == 77) GTEST_SKIP() << check.out;
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

// On a phone 390 CSS px wide no page of the site scrolls sideways, and each
// round's official result shows every driver and their points.
TEST(Site, SampleSiteFitsAPhone) {
#ifdef _WIN32
    GTEST_SKIP() << "the browser check runs on the build machine, not under Wine";
#endif
    TempDir dir;
    copySample(dir);
    ASSERT_EQ(site(dir, "league/season.ini", "site").status, 0);
    std::vector<std::string> rounds{"--phone", "--inside", ".official .dr", "--inside", ".official .pts"};
    for (int r = 1; r <= 5; ++r) rounds.push_back(dir.file("site/round-" + std::to_string(r) + ".html"));
    for (const auto& args : {rounds, std::vector<std::string>{"--phone", dir.file("site/index.html"),
                                                               dir.file("site/drivers/niccolo-ferrandi.html")}}) {
        const auto check = testutil::runCheckScript("browser_check.py", args);
        if (check.status == 77) GTEST_SKIP() << check.out;
        EXPECT_EQ(check.status, 0) << check.out << check.err;
    }
}

// Only a folder gridtally wrote, or an empty one, is replaced, and only by
// a run that succeeds.
TEST(Site, FolderReplacedWholeOnlyWhenOursAndOnlyOnSuccess) {
    TempDir dir;
    copySample(dir);
    ASSERT_EQ(site(dir, "league/season.ini", "site").status, 0);
    dir.write("site/stale.html", "old");
    dir.write("foreign/notes.txt", "mine");
    dir.write("other/site.gridtally-new/notes.txt", "mine");
    dir.write("league/broken.ini", "[Season]\nPoints=1\n[Round1]\nReplay=rounds/missing.rpy\n");

    struct Case {
        const char* what;
        std::string season;
        std::string folder;
        std::vector<std::string> more;
        int status;
        std::string err; // the start of standard error
    };
    const std::vector<Case> cases{
        {"a folder of someone else's files is refused, also with --force", "league/season.ini", "foreign",
         {"--force"}, 1, "Error: foreign is not a site folder gridtally wrote, nor empty"},
        {"the folder of an input is refused", "league/season.ini", "league", {}, 1,
         "Error: league is not a site folder gridtally wrote"},
        {"a folder by the name of the new site's is not removed", "league/season.ini", "other/site", {}, 1,
         "Error: other/site.gridtally-new is in the way of the new site"},
        {"a failed run leaves the previous site", "league/broken.ini", "site", {}, 1, "Error: Round 1: cannot read"},
    };
    for (const Case& c : cases) {
        const auto r = site(dir, c.season, c.folder, c.more);
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.what;
    }
    EXPECT_EQ(testutil::readFile(dir.file("foreign/notes.txt")), "mine");
    EXPECT_EQ(testutil::readFile(dir.file("other/site.gridtally-new/notes.txt")), "mine");
    EXPECT_EQ(testutil::readFile(dir.file("site/stale.html")), "old");

    ASSERT_EQ(site(dir, "league/season.ini", "site").status, 0);
    EXPECT_FALSE(testutil::fileExists(dir.file("site/stale.html"))) << "the folder is replaced as a whole";
    EXPECT_FALSE(testutil::fileExists(dir.file("site.gridtally-old")));
    EXPECT_FALSE(testutil::fileExists(dir.file("site.gridtally-new")));
}
