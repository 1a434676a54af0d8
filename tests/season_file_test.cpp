// The season file as the reader sees it: what it forgives, what it refuses
// with which message, and that its cost grows with the file, not faster.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "season/season_file.h"
#include "testutil.h"

namespace {

const std::string rounds = "[Round1]\nReplay=r1.rpy\n[Round2]\nReplay=r2.rpy\n";

std::string errorOf(const std::string& text) {
    return testutil::errorOf([&] { parseSeasonFile(text, "league/season.ini"); });
}

std::string manyRounds(int n) {
    std::string text = "[Season]\nPoints=1\n";
    for (int i = 1; i <= n; ++i) text += "[Round" + std::to_string(i) + "]\nReplay=r.rpy\n";
    return text;
}

// The least processor time of three reads, in seconds.
double cpuSecondsToRead(const std::string& text) {
    double least = 1e9;
    for (int i = 0; i < 3; ++i) {
        const std::clock_t start = std::clock();
        parseSeasonFile(text, "season.ini");
        least = std::min(least, double(std::clock() - start) / CLOCKS_PER_SEC);
    }
    return least;
}

} // namespace

TEST(SeasonFile, MistakesNameTheirLinesAndWhatWasMeant) {
    const std::string points = "[Season]\nPoints=3,2\n";
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"[Season]\nPionts=3,2\n" + rounds, "league/season.ini:2: unknown key 'Pionts' in [Season]; did you mean 'Points'?"},
        {points + "[Round1]\nreplays=r1.rpy\n", "league/season.ini:4: unknown key 'replays' in [Round1]; did you mean 'Replay'?"},
        {points + "Colour=red\n" + rounds, "league/season.ini:3: unknown key 'Colour' in [Season]"},
        {points + rounds + "[Alias]\n", "league/season.ini:7: unknown section [Alias]; did you mean [Aliases]?"},
        {points + rounds + "[Round1]\nReplay=r3.rpy\n",
         "league/season.ini:7: section [Round1] is given twice, first on line 3"},
        {points + rounds + "[SEASON]\n", "league/season.ini:7: section [SEASON] is given twice, first on line 1"},
        {points + rounds + "[Round01]\nReplay=r3.rpy\n",
         "league/season.ini:7: round 1 is given twice, first on line 3"},
        {points + "Drop=1\ndrop=0\n" + rounds, "league/season.ini:4: key 'drop' in [Season] is given twice, first on line 3"},
        {points + rounds + "[Aliases]\nA=B\nA=C\n", "league/season.ini:9: key 'A' in [Aliases] is given twice, first on line 8"},
        {points + rounds + "[Penalties]\n1.Ann Able=DSQ\n1. Ann Able=+5s\n",
         "league/season.ini:9: key '1. Ann Able' in [Penalties] is given twice, first on line 8"},
        {points + "Drop=2\n" + rounds, "league/season.ini:3: Drop=2 leaves no round to count: the season has 2 rounds"},
        {points + rounds + "[Penalties]\n1.Ann Able=+5 pts\n",
         "league/season.ini:8: a penalty is +N s (seconds added), DSQ, -N points or +N points, not '+5 pts'"},
        {points + rounds + "[Penalties]\n1.Ann Able=-5 s\n",
         "league/season.ini:8: a penalty is +N s (seconds added), DSQ, -N points or +N points, not '-5 s'"},
        // Only CR, LF and CRLF end lines.
        {"[Season]\nName=A\xE2\x80\xA8" "B\r\nPoints=1\rName\xC2\x85=x\n" + rounds,
         "league/season.ini:4: key 'Name' in [Season] is given twice, first on line 2"},
        {points + rounds + "[Aliases]\nA=B\nB=C\nC=A\n", "league/season.ini:8: aliases make a loop: A = B = C = A"},
        {manyRounds(1001), "league/season.ini:2003: more than 1000 rounds; a season file holds at most 1000"},
        {points + "[Round2 : Round1]\n", "league/season.ini:3: no section [Round1] before this line to take keys from"},
    };
    for (const Case& c : cases) EXPECT_EQ(errorOf(c.text), c.error) << c.text;

    std::string loop = points + rounds + "[Aliases]\n";
    for (int i = 0; i < 20000; ++i) loop += "A" + std::to_string(i) + "=A" + std::to_string((i + 1) % 20000) + "\n";
    EXPECT_EQ(errorOf(loop), "league/season.ini:8: aliases make a loop: A0 = A1 = A2 = A3 = A4 = A5 = "
                             "... (20000 names)");
}

TEST(SeasonFile, ForgivesCaseBackslashesAndInheritedKeys) {
    const SeasonFile s = parseSeasonFile("[season]\nPOINTS=3,2\ndrop=1\n[round2]\nreplay=rounds\\r2.rpy\n"
                                         "carset=..\\cars.cst\n[Round1 : Round2]\nReplay=rounds\\r1.rpy\n"
                                         "[penalties]\n1.Ann=+2 points\n2.Ann=+1.5s\n",
                                         "league/season.ini");
    EXPECT_EQ(s.rules.points, (std::vector<std::int64_t>{3, 2}));
    EXPECT_EQ(s.rules.drop, 1u);
    ASSERT_EQ(s.rounds.size(), 2u);
    EXPECT_EQ(s.rounds[0].replayPath, "league/rounds/r1.rpy");
    EXPECT_EQ(s.rounds[0].carsetPath, "league/../cars.cst"); // inherited, with its line
    EXPECT_EQ(s.rounds[0].carsetLine, 6u);
    EXPECT_EQ(s.rounds[1].replayPath, "league/rounds/r2.rpy");
    ASSERT_EQ(s.penalties.size(), 2u);
    EXPECT_EQ(s.penalties[0].amount, -2); // points given
    EXPECT_EQ(s.penalties[1].amount, 1500);
}

TEST(SeasonFile, TextInUtf16WithByteOrderMark) {
    // "[Season]\r\nName=Jörg 𝄞" in both byte orders; a lone surrogate and an
    // odd last byte become U+FFFD.
    const std::u16string text = u"[Season]\r\nName=J\u00F6rg \U0001D11E";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char16_t u : text) {
        le += {char(u & 0xFF), char(u >> 8)};
        be += {char(u >> 8), char(u & 0xFF)};
    }
    const std::string utf8 = "[Season]\r\nName=J\xC3\xB6rg \xF0\x9D\x84\x9E";
    EXPECT_EQ(seasonText(le), utf8);
    EXPECT_EQ(seasonText(be), utf8);
    EXPECT_EQ(seasonText(std::string("\xFF\xFE\x00\xD8" "A\x00" "B", 7)), "\xEF\xBF\xBD" "A\xEF\xBF\xBD");
    EXPECT_EQ(seasonText("\xEF\xBB\xBFJ\xC3\xB6rg"), "J\xC3\xB6rg");
    EXPECT_EQ(seasonText("J\xF6rg"), "J\xC3\xB6rg");
}

// A long alias chain and many rounds with penalties: eight times the file
// costs about eight times as much, never the square.
TEST(SeasonFile, ReadingCostGrowsWithTheFile) {
    if (testutil::underWine()) GTEST_SKIP() << "no process time under Wine";
    const auto aliasChain = [](int n) {
        std::string text = manyRounds(1) + "[Aliases]\n";
        for (int i = 0; i < n; ++i) text += "Driver " + std::to_string(i) + "=Driver " + std::to_string(i + 1) + "\n";
        return text;
    };
    const auto roundsWithPenalties = [](int n) {
        std::string text = manyRounds(n / 16) + "[Penalties]\n";
        for (int i = 0; i < n; ++i) text += std::to_string(i % (n / 16) + 1) + ".Driver " + std::to_string(i) + "=+1s\n";
        return text;
    };
    for (const auto& make : {+aliasChain, +roundsWithPenalties}) {
        const double small = cpuSecondsToRead(make(2000));
        const double large = cpuSecondsToRead(make(16000));
        EXPECT_LT(large, 16 * small) << small << " s for N, " << large << " s for 8N";
    }
}
