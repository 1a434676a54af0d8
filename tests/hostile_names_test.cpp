// Names from replays and carsets are written so that they can neither forge
// report lines nor reach the terminal as control sequences.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text/visible_text.h"

#include "cstbuilder.h"
#include "rpybuilder.h"
#include "testutil.h"

using namespace rpybuilder;
using testutil::RunOptions;
using testutil::runGridtally;
using testutil::TempDir;

namespace {

TEST(VisibleText, ControlCharactersBecomeVisibleStandIns) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"Jim Clark", "Jim Clark"},
        {"Tab\there", "Tab\there"},
        {"a\nb\r", "a\xE2\x90\x8A" "b\xE2\x90\x8D"},           // U+240A, U+240D
        {std::string("\0\x1F", 2), "\xE2\x90\x80\xE2\x90\x9F"}, // U+2400, U+241F
        {"\x1B]0;t\x07", "\xE2\x90\x9B]0;t\xE2\x90\x87"},        // ESC, BEL
        {"\x7F", "\xE2\x90\xA1"},                                // U+2421
        {"\xC2\x80|\xC2\x9B|\xC2\x9F", "\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD"},
        // Neighbours of the C1 range, a lone C2 and other ill-formed bytes
        // are no control characters.
        {"\xC2\xA0\xC3\xA9\xE2\x90\x8A", "\xC2\xA0\xC3\xA9\xE2\x90\x8A"},
        {"x\xC2", "x\xC2"},
        {"\x9B\x90", "\x9B\x90"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(visibleText(text), shown) << text;
        EXPECT_EQ(hasControlCharacters(text), text != shown) << text;
    }
}

RunOptions in(const TempDir& dir) {
    RunOptions o;
    o.cwd = dir.path();
    return o;
}

struct Names {
    std::string track, carset, saver, version;
    std::vector<std::pair<std::string, std::string>> drivers; // first, last
    std::string team, chassis, carsetName;
    std::string carsetFile, outputFile;
};

// A race of the named drivers, with a carset that names their cars.
void writeWeekend(const TempDir& dir, const Names& n) {
    ReplaySpec r = raceReplay(static_cast<int>(n.drivers.size()), 3);
    r.header.track = r.weekend.track = n.track;
    r.weekend.carset = n.carset;
    r.header.saverName = n.saver;
    r.header.saverVersion = n.version;
    for (std::size_t i = 0; i < n.drivers.size(); ++i) {
        r.drivers[i].firstName = n.drivers[i].first;
        r.drivers[i].lastName = n.drivers[i].second;
        r.drivers[i].carIndex = 9;
    }
    writeReplay(dir, "race.rpy", r);
    cstbuilder::CarsetSpec cst;
    cst.name = n.carsetName;
    cst.cardir = n.carset;
    cst.cars = {{9, n.team, n.chassis, "Engine"}};
    dir.write(n.carsetFile, cstbuilder::carsetBytes(cst));
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Any byte below 0x20 but line feed and TAB (a CR only as part of a
// Windows line end), or a C1 character in UTF-8.
bool hasControlBytes(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F) return true;
        if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) return true;
    }
    return false;
}

TEST(HostileNames, ControlCharactersCannotForgeLinesOrReachTheTerminal) {
    const Names plain{"Monza", "gem67", "Saver", "1.0", {{"Bob", "Fake"}, {"Title", "Clear"}, {"AB", "Semi"}},
                      "Team", "Chassis", "Carset", "cst/mine.cst", "out.txt"};
    // A forged result line and event line, terminal title and screen
    // clearing, C1 bytes (Windows-1252 0x90 and 0x9D have no character of
    // their own), DEL, semikv's old field separator 0x12 and a TAB, which
    // stays. A carset's values cannot hold line ends.
    const Names hostile{"Mon\nza", "gem\x1B" "67", "Sa\x1Bver", "1.0\r",
                        {{"Bob\n 1.  99 Fa", "ke"}, {"\x1B]0;owned\x07", "\x1B[2J"}, {"A\x90\x9D", "semi\x12\tkv"}},
                        "Te\x1B[2Jam", "Chas\x07sis\x7F", "Car\x1B[1mset",
#ifdef _WIN32
                        // Windows file names hold no control characters.
                        "cst/mine.cst", "out.txt"};
#else
                        "cst/mi\x1B]0;x\x07ne.cst", "out\x1B[2J.txt"};
#endif
    for (const char* format : {"--format=txt", "--format=semikv"}) {
        std::string reports[2], messages[2];
        for (const Names* names : {&plain, &hostile}) {
            TempDir dir;
            writeWeekend(dir, *names);
            const auto r =
                runGridtally({format, "--laps", "--cst-auto", "-o", names->outputFile, "race.rpy"}, in(dir));
            ASSERT_EQ(r.status, 0) << r.err;
            reports[names == &hostile] = testutil::readFile(dir.file(names->outputFile));
            messages[names == &hostile] = r.err;
        }
        EXPECT_EQ(lineCount(reports[1]), lineCount(reports[0])) << format << "\n" << reports[1];
        EXPECT_EQ(lineCount(messages[1]), lineCount(messages[0])) << messages[1];
        EXPECT_EQ(messages[0].find("Using carset file"), 0u) << messages[0];
        EXPECT_FALSE(hasControlBytes(reports[1])) << reports[1];
        EXPECT_FALSE(hasControlBytes(messages[1])) << messages[1];
        for (const char* shown : {"Bob\xE2\x90\x8A 1.  99 Fa ke", "\xE2\x90\x9B]0", "owned\xE2\x90\x87 \xE2\x90\x9B[2J",
                                  "A\xEF\xBF\xBD\xEF\xBF\xBD semi\xE2\x90\x92\tkv", "Mon\xE2\x90\x8Aza",
                                  "gem\xE2\x90\x9B" "67", "Sa\xE2\x90\x9Bver 1.0\xE2\x90\x8D",
                                  "Te\xE2\x90\x9B[2Jam", "Chas\xE2\x90\x87sis\xE2\x90\xA1", "Car\xE2\x90\x9B[1mset"})
            EXPECT_NE(reports[1].find(shown), std::string::npos) << format << ": " << shown;
    }
}

// Whatever a message quotes, and wherever it comes from, reaches standard
// error with stand-ins; the files named stay as they were.
TEST(HostileNames, MessagesAndTheQuestionShowStandIns) {
    const std::string esc = "\xE2\x90\x9B";
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string season; // season.ini, when not empty
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {"[Season]\nPoints=1\n[Round1]\nReplay=\x1B[2J.rpy\n", {"--season", "season.ini"}, 1,
         "Error: Round 1: cannot read " + esc + "[2J.rpy: no such file\n"},
        {"[Season]\nPoints=1\nP\x1B]0;PWN\x07=1\n[Round1]\nReplay=race.rpy\n", {"--season", "season.ini"}, 2,
         "Error: season.ini:3: unknown key 'P" + esc + "]0;PWN\xE2\x90\x87' in [Season]\n"},
        {"", {"--nope\x1B[2J"}, testutil::statusMinusOne, "invalid option '--nope" + esc + "[2J'\n"},
#ifndef _WIN32
        // Arguments that are not UTF-8 reach a Windows program converted.
        {"", {"--cst", "\xFF\x1B.cst", "race.rpy"}, 2, "Error: cannot read " + fffd + esc + ".cst: no such file\n"},
        {"", {"-o", "out\x1B[2J.txt", "race.rpy"}, 4,
         "Output file out" + esc + "[2J.txt already exists. Overwrite ? (Y/N): "},
#endif
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeReplay(dir, "race.rpy", raceReplay(1, 2));
        const std::string replay = testutil::readFile(dir.file("race.rpy"));
        if (!c.season.empty()) dir.write("season.ini", c.season);
#ifndef _WIN32
        dir.write("out\x1B[2J.txt", "old");
#endif
        RunOptions o = in(dir);
        o.stdinText = "n\n";
        const auto r = runGridtally(c.args, o);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(testutil::readFile(dir.file("race.rpy")), replay);
#ifndef _WIN32
        EXPECT_EQ(testutil::readFile(dir.file("out\x1B[2J.txt")), "old");
#endif
    }
}

} // namespace
