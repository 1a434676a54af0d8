// Whole reports end to end: the real binary on small replays, compared byte
// for byte with the expected texts in tests/golden.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cstbuilder.h"
#include "rpybuilder.h"
#include "testutil.h"

using namespace rpybuilder;
using testutil::TempDir;

namespace {

std::string golden(const std::string& name) {
    return testutil::readFile(std::string(GRIDTALLY_SOURCE_DIR) + "/tests/golden/" + name);
}

testutil::RunResult run(const TempDir& dir, const std::vector<std::string>& args) {
    testutil::RunOptions opts;
    opts.cwd = dir.path();
    return testutil::runGridtally(args, opts);
}

// Four cars, practice and a three-lap race; accented names as Windows-1252
// bytes. Practice: Müller has no valid lap, Hale's first lap is invalid,
// Aubert's best lap went off track. Race: Ibañez is a lap down but takes the
// flag after the winner, Müller retires after one (invalid) lap.
ReplaySpec riverside() {
    ReplaySpec r;
    r.header.track = "Riverside Raceway";
    r.header.saverName = "RaceSaver";
    r.header.saverVersion = "2.0.1";
    r.weekend.track = "riverside";
    r.weekend.carset = "Classic 67";
    r.weekend.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {SessionType::RACE, 3, 604800.0}};
    r.drivers = {
        DriverSpec{.firstName = "Ren\xE9", .lastName = "Aubert", .nationality = 10, .driverId = 101,
                   .carIndex = 4, .carId = 1, .number = 18},
        DriverSpec{.firstName = "Tom", .lastName = "Hale", .nationality = 12, .tag = tagBytes(82, 3, 1),
                   .driverId = 102, .carIndex = 5, .carId = 2, .number = 5},
        DriverSpec{.firstName = "J\xF6rg", .lastName = "M\xFCller", .nationality = 11, .driverId = 103,
                   .carIndex = 0, .carId = 3, .number = 2},
        DriverSpec{.firstName = "Pablo", .lastName = "Iba\xF1" "ez", .nationality = 0, .driverId = 104,
                   .carIndex = 3, .carId = 4, .number = 11},
    };
    r.sessions = {
        SessionSpec{{CarSpec{1, {lapWord(20000), lapWord(105000), lapWord(188000, offTrack), lapWord(272500)}},
                     CarSpec{2, {lapWord(22000), lapWord(104500, invalid), lapWord(188500)}},
                     CarSpec{3, {lapWord(25000), lapWord(110000, invalid), lapWord(196000, invalid)}},
                     CarSpec{4, {lapWord(30000), lapWord(113200), lapWord(196500)}}}},
        SessionSpec{{CarSpec{1, {lapWord(5300), lapWord(91000), lapWord(176000, offTrack), lapWord(261000)}},
                     CarSpec{2, {lapWord(5000), lapWord(90000), lapWord(174000), lapWord(258500)}},
                     CarSpec{3, {lapWord(5900), lapWord(92000, invalid)}},
                     CarSpec{4, {lapWord(5600), lapWord(130000), lapWord(262000)}}}},
    };
    return r;
}

// Three cars over a testing, a practice and a race session, with a carset
// that names two of the three car models and has an empty physics key.
ReplaySpec hillcrest() {
    ReplaySpec r;
    r.header.saverName = "GPLReplay";
    r.header.saverVersion = "1.3";
    r.weekend.track = "hillcrest";
    r.weekend.carset = "hc69";
    r.weekend.sessions = {
        {SessionType::TESTING, 32767, 3600.0}, {SessionType::PRACTICE, 32767, 3600.0},
        {SessionType::RACE, 2, 604800.0}};
    r.drivers = {
        DriverSpec{.firstName = "Marie", .lastName = "Duval", .nationality = 10, .driverId = 7,
                   .carIndex = 0, .carId = 7, .number = 4, .tagIsText = 1},
        DriverSpec{.firstName = "\xC5ke", .lastName = "Str\xF6m", .nationality = 24, .tag = tagBytes(84, 4, 0),
                   .driverId = 8, .carIndex = 1, .carId = 8, .number = 21},
        DriverSpec{.firstName = "Ian", .lastName = "Ross", .nationality = 20, .driverId = 9, .carIndex = 2,
                   .carId = 9, .number = 9},
    };
    r.sessions = {
        SessionSpec{{CarSpec{7, {lapWord(12000), lapWord(99000)}}, CarSpec{9, {lapWord(15000)}}}},
        SessionSpec{{CarSpec{8, {lapWord(8000), lapWord(91000), lapWord(173500)}},
                     CarSpec{7, {lapWord(9000), lapWord(95000, offTrack | invalid), lapWord(179000)}},
                     CarSpec{9, {lapWord(10000), lapWord(100000, 0x80)}}}},
        SessionSpec{{CarSpec{8, {lapWord(3000), lapWord(88000), lapWord(171000)}},
                     CarSpec{7, {lapWord(3400), lapWord(89500), lapWord(174500)}},
                     CarSpec{9, {lapWord(3800), lapWord(92000), lapWord(180000)}}}},
    };
    return r;
}

std::string hillcrestCarset() {
    cstbuilder::CarsetSpec c;
    c.name = "Hillcrest Classics";
    c.cardir = "hc69";
    c.physics = "";
    c.shortid = "HC69";
    c.year = "1969";
    c.cars = {
        {0, "\xC3\x89" "curie Vert-Olive", "Vert V69", "Olive V8"},
        {1, "Scuderia Montagna Alta Corse Italia", "Montagna 69", "Montagna V12"},
        {2, "Ross Motor Racing", std::nullopt, std::nullopt},
    };
    return cstbuilder::carsetBytes(c);
}

// A race only: a semicolon and an equals sign in driver names, a driver
// without nationality, a car that never crossed the line.
ReplaySpec seaview() {
    ReplaySpec r;
    r.weekend.track = "seaview";
    r.weekend.carset = "Classic 67";
    r.weekend.sessions = {{SessionType::RACE, 2, 604800.0}};
    r.drivers = {
        DriverSpec{.firstName = "Ken", .lastName = "O;Hara", .nationality = 26, .driverId = 1, .carIndex = 6,
                   .carId = 1, .number = 3},
        DriverSpec{.firstName = "Lu", .lastName = "Ca=Sa", .nationality = 14, .driverId = 2, .carIndex = 5,
                   .carId = 2, .number = 1},
        DriverSpec{.firstName = "Nils", .lastName = "Berg", .nationality = 40, .driverId = 3, .carIndex = 5,
                   .carId = 3, .number = 2},
    };
    r.sessions = {
        SessionSpec{{CarSpec{1, {lapWord(4000), lapWord(94000), lapWord(185000, offTrack)}},
                     CarSpec{2, {lapWord(4500), lapWord(96000), lapWord(186500)}}, CarSpec{3, {}}}},
    };
    return r;
}

void expectReport(const TempDir& dir, const std::vector<std::string>& args, const std::string& expected) {
    const std::string text = golden(expected);
    ASSERT_FALSE(text.empty()) << expected;
    const testutil::RunResult r = run(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, text);
}

} // namespace

TEST(GoldenReport, RiversideText) {
    TempDir dir;
    writeReplay(dir, "riverside.rpy", riverside());
    expectReport(dir, {"riverside.rpy"}, "riverside.txt");
}

TEST(GoldenReport, RiversideSemikvWithLaps) {
    TempDir dir;
    writeReplay(dir, "riverside.rpy", riverside());
    expectReport(dir, {"--format=semikv", "--laps", "riverside.rpy"}, "riverside_laps_semikv.txt");
}

// Each car's lap list: the start crossing is lap 0 and not counted, invalid
// laps are struck, off-track ones only remarked.
TEST(GoldenReport, RiversideHtmlWithLaps) {
    TempDir dir;
    writeReplay(dir, "riverside.rpy", riverside());
    expectReport(dir, {"--format=html", "--laps", "riverside.rpy"}, "riverside_laps.html");
}

TEST(GoldenReport, HillcrestTextWithCarsetNoHeaderAndLaps) {
    TempDir dir;
    writeReplay(dir, "hillcrest.rpy", hillcrest());
    dir.write("hc69.cst", hillcrestCarset());
    expectReport(dir, {"--cst", "hc69.cst", "--no-header", "--laps", "hillcrest.rpy"},
                 "hillcrest_noheader_laps.txt");
}

TEST(GoldenReport, HillcrestSemikvWithCarset) {
    TempDir dir;
    writeReplay(dir, "hillcrest.rpy", hillcrest());
    dir.write("hc69.cst", hillcrestCarset());
    expectReport(dir, {"--format=semikv", "--cst", "hc69.cst", "hillcrest.rpy"}, "hillcrest_semikv.txt");
}

TEST(GoldenReport, SeaviewSemikvNoHeaderWithLaps) {
    TempDir dir;
    writeReplay(dir, "seaview.rpy", seaview());
    expectReport(dir, {"--format=semikv", "--no-header", "--laps", "seaview.rpy"},
                 "seaview_noheader_laps_semikv.txt");
}

namespace {

const std::string examples = std::string(GRIDTALLY_SOURCE_DIR) + "/examples/";

// Writes the golden weekends' replays and carset into dir; each with the
// arguments that report on it.
std::vector<std::pair<std::string, std::vector<std::string>>> goldenWeekends(const TempDir& dir) {
    writeReplay(dir, "riverside.rpy", riverside());
    writeReplay(dir, "hillcrest.rpy", hillcrest());
    dir.write("hc69.cst", hillcrestCarset());
    writeReplay(dir, "seaview.rpy", seaview());
    return {{"riverside", {"riverside.rpy"}},
            {"hillcrest", {"--cst", "hc69.cst", "hillcrest.rpy"}},
            {"seaview", {"seaview.rpy"}},
            {"monza67", {"--cst", examples + "gem67.cst", examples + "monza67.rpy"}}};
}

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Python's JSON and CSV readers and the JSON Schema validator over every
// .json and .csv file in dir (tests/check_json_csv.py).
void expectParsersAccept(const TempDir& dir) {
    const testutil::RunResult r =
        testutil::checkJsonCsv({std::string(GRIDTALLY_SOURCE_DIR) + "/docs/report.schema.json", dir.path()});
    if (r.status == 77) GTEST_SKIP() << r.out;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

// A few bytes of the replay overwritten, at places drawn from rng.
std::string mutated(std::string bytes, std::mt19937& rng) {
    for (std::uint32_t n = 1 + rng() % 4; n > 0; --n) bytes[rng() % bytes.size()] = static_cast<char>(rng());
    return bytes;
}

} // namespace

// Written by hand: the riverside weekend has a lapped finisher, a retired car
// and a practice car without a valid lap; the sample weekend is the one new
// users try first.
TEST(GoldenReport, JsonAndCsv) {
    TempDir dir;
    writeReplay(dir, "riverside.rpy", riverside());
    const std::vector<std::string> sample = {"--cst", examples + "gem67.cst", examples + "monza67.rpy"};
    expectReport(dir, {"--format=json", "--laps", "riverside.rpy"}, "riverside_laps.json");
    expectReport(dir, {"--format=csv", "riverside.rpy"}, "riverside.csv");
    expectReport(dir, {"--format=csv", "--laps", "riverside.rpy"}, "riverside_laps.csv");
    expectReport(dir, joined({"--format=json"}, sample), "monza67.json");
    expectReport(dir, joined({"--format=csv"}, sample), "monza67.csv");
}

// The JSON of every golden weekend and of a few hundred mutated ones is
// valid against docs/report.schema.json, and each CSV reads as the same
// rows. A mutated replay that is refused leaves no output file.
TEST(GoldenReport, JsonAndCsvPassRealParsers) {
    TempDir dir;
    const auto weekends = goldenWeekends(dir);
    const std::vector<std::vector<std::string>> variants = {{}, {"--laps"}, {"--no-header"}};
    for (const auto& [name, args] : weekends) {
        for (std::size_t v = 0; v < variants.size(); ++v) {
            for (const char* format : {"json", "csv"}) {
                const std::string output = name + std::to_string(v) + "." + format;
                const auto r = run(dir, joined(joined({"--format=" + std::string(format), "-o", output}, variants[v]), args));
                EXPECT_EQ(r.status, 0) << output << r.err;
            }
        }
    }

    std::mt19937 rng(15);
    const int count = testutil::underWine() ? 40 : 200;
    int refused = 0;
    for (int k = 0; k < count; ++k) {
        // The replays of the builder, with the carset option where there is one.
        const std::vector<std::string>& args = weekends[static_cast<std::size_t>(k) % 3].second;
        dir.write("m.rpy", mutated(testutil::readFile(dir.file(args.back())), rng));
        const std::string output = "m" + std::to_string(k) + (k % 3 ? ".json" : ".csv");
        std::vector<std::string> options = {k % 3 ? "--format=json" : "--format=csv", "-o", output};
        if (k % 2) options.push_back("--laps");
        options.insert(options.end(), args.begin(), args.end() - 1);
        options.push_back("m.rpy");
        const auto r = run(dir, options);
        if (r.status != 0) {
            ++refused;
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_NE(r.err.find("Error: "), std::string::npos) << r.err;
            EXPECT_FALSE(testutil::fileExists(dir.file(output))) << output;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, count);
    expectParsersAccept(dir);
}

// Quotes, commas, semicolons, line breaks and control characters in names
// come back unchanged from Python's JSON and CSV readers; a CSV name that a
// spreadsheet would take for a formula comes back after one "'".
TEST(GoldenReport, HostileNamesSurviveRealParsers) {
    ReplaySpec r;
    r.weekend.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {SessionType::RACE, 2, 604800.0}};
    r.drivers = {
        DriverSpec{.firstName = "Jo \"Ace\"", .lastName = "O,Neil;x", .driverId = 1, .carId = 1, .number = 1},
        DriverSpec{.firstName = "Line\nFeed", .lastName = "Ctl\x01\x7F\\", .driverId = 2, .carId = 2, .number = 2},
        DriverSpec{.firstName = "Ren\xE9\t\r", .lastName = "\x80uro", .driverId = 3, .carId = 3, .number = 3},
        DriverSpec{.firstName = "=HYPERLINK(\"x\")", .lastName = "@x", .driverId = 4, .carId = 4, .number = 4},
        DriverSpec{.firstName = "-91", .lastName = "+1", .driverId = 5, .carId = 5, .number = 5},
    };
    r.sessions = {SessionSpec{{CarSpec{1, {lapWord(0), lapWord(90000)}}, CarSpec{2, {lapWord(0), lapWord(91000)}},
                               CarSpec{3, {lapWord(0), lapWord(92000)}}, CarSpec{4, {lapWord(0), lapWord(93000)}},
                               CarSpec{5, {lapWord(0), lapWord(94000)}}}}};
    TempDir dir;
    writeReplay(dir, "names.rpy", r);
    for (const std::string format : {"json", "csv"}) {
        const auto written = run(dir, {"--format=" + format, "-o", "names." + format, "names.rpy"});
        EXPECT_EQ(written.status, 0) << written.err;
    }
    expectParsersAccept(dir);

    const auto parsed = testutil::checkJsonCsv({"--drivers", dir.file("names.json"), dir.file("names.csv")});
    if (parsed.status == 77) GTEST_SKIP() << parsed.out;
    // Hex of the UTF-8 names: from the JSON entry list, then the CSV rows.
    std::string hex;
    for (int pass = 0; pass < 2; ++pass) {
        const std::string guard = pass == 1 ? "'" : "";
        for (const std::string& name :
             {std::string("Jo \"Ace\" O,Neil;x"), std::string("Line\nFeed Ctl\x01\x7F\\"),
              std::string("Ren\xC3\xA9\t\r \xE2\x82\xACuro"), guard + "=HYPERLINK(\"x\") @x",
              guard + "-91 +1"}) {
            for (unsigned char c : name) {
                hex += "0123456789abcdef"[c >> 4];
                hex += "0123456789abcdef"[c & 15];
            }
            hex += '\n';
        }
    }
    EXPECT_EQ(parsed.out, hex) << parsed.err;
}
