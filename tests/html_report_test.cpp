// The results page: escaping, the committed sample page, a conforming HTML5
// parser on it, hostile names, its size, and a real browser loading it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cstbuilder.h"
#include "rpybuilder.h"
#include "testutil.h"
#include "platform/utf8.h"
#include "encoded_text.h"

using namespace rpybuilder;
using testutil::TempDir;

namespace {

const std::string source = GRIDTALLY_SOURCE_DIR;

testutil::RunResult run(const TempDir& dir, const std::vector<std::string>& args) {
    testutil::RunOptions opts;
    opts.cwd = dir.path();
    return testutil::runGridtally(args, opts);
}

// Runs one of the checking scripts in tests/; skips the test when the
// script reports its tool missing (status 77) and fails it on anything else.
#define RUN_CHECK(script, ...)                                                       \
    do {                                                                             \
        const auto check = testutil::runCheckScript(script, {__VA_ARGS__});          \
        if (check.status == 77) GTEST_SKIP() << check.out;                           \
        EXPECT_EQ(check.status, 0) << check.out << check.err;                        \
    } while (0)

// A weekend with names that try to be markup, control characters and a
// byte that is no character in Windows-1252; plain, the same weekend with
// harmless names of the same shape.
struct NamedWeekend {
    ReplaySpec replay;
    cstbuilder::CarsetSpec carset;
};

NamedWeekend namedWeekend(bool hostile) {
    NamedWeekend w;
    ReplaySpec& r = w.replay;
    const auto pick = [hostile](const char* bad, const char* good) { return std::string(hostile ? bad : good); };
    r.header.saverName = pick("<!--", "Save");
    r.header.saverVersion = pick("-->&amp;", "1.0");
    r.weekend.track = pick("<b>'x'</b>", "hillside");
    r.weekend.carset = pick("\"><img src=x onerror=alert(1)>", "carset");
    r.weekend.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {SessionType::RACE, 2, 604800.0}};
    r.drivers = {
        DriverSpec{.firstName = pick("<script>alert(1)", "Ann"), .lastName = pick("</script>", "Lee"),
                   .driverId = 1, .carIndex = 0, .carId = 1, .number = 3},
        DriverSpec{.firstName = pick("\"><img src=x", "Bo"), .lastName = pick("A\x01" "B\x7F" "C\x81", "Cruz"),
                   .driverId = 2, .carIndex = 1, .carId = 2, .number = 5},
    };
    r.sessions = {
        SessionSpec{{CarSpec{1, {lapWord(1'000), lapWord(91'000)}}, CarSpec{2, {lapWord(2'000), lapWord(93'000)}}}},
        SessionSpec{{CarSpec{1, {lapWord(1'000), lapWord(91'000), lapWord(181'000)}},
                     CarSpec{2, {lapWord(1'200), lapWord(92'000), lapWord(183'000)}}}},
    };
    w.carset.name = pick("<style>*{display:none}</style>", "Set");
    w.carset.cardir = "carset";
    w.carset.cars = {
        cstbuilder::CarSpec{0, pick("<script>alert(1)</script>", "Red Team"), pick("</td></tr></table>", "Car"),
                            pick("\"><img src=x onerror=alert(1)>", "Engine")},
        cstbuilder::CarSpec{1, pick("Tom & 'Jerry'", "Blue Team"), "Car", "Engine"},
    };
    return w;
}

// A weekend of cars with real-length names: 20 laps of practice and a race
// in which places change every lap.
ReplaySpec bigRace(int cars = 40, int raceLaps = 100) {
    ReplaySpec r;
    r.weekend.sessions = {{SessionType::PRACTICE, 32767, 3600.0},
                          {SessionType::RACE, static_cast<std::int16_t>(std::min(raceLaps, 32767)), 604800.0}};
    SessionSpec practice, race;
    for (int c = 1; c <= cars; ++c) {
        r.drivers.push_back(DriverSpec{.firstName = "Maximilian", .lastName = "Vandermeulen", .driverId = c,
                                       .carIndex = std::uint32_t(c % 7), .carId = c, .number = c * 2});
        for (auto [session, laps] : {std::pair{&practice, 20}, std::pair{&race, raceLaps}}) {
            CarSpec car{c, {}, {}};
            std::uint32_t clock = 1'000 + std::uint32_t(c) * 150;
            for (int i = 0; i <= laps; ++i) {
                car.laps.push_back(lapWord(clock, i % 17 == 5 ? invalid : 0));
                clock += 88'000 + std::uint32_t(c) * 40 + std::uint32_t((c * 7'919 + i * 104'729) % 2'500);
            }
            session->cars.push_back(std::move(car));
        }
    }
    r.sessions = {practice, race};
    return r;
}

} // namespace

TEST(HtmlText, EscapesMarkupAndMakesControlsVisible) {
    struct Case {
        std::string_view in;
        std::string_view out;
    };
    using namespace std::string_view_literals;
    const std::vector<Case> cases = {
        {"Jürgen Hallbach", "Jürgen Hallbach"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"\"><img src=x onerror=alert(1)>", "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"},
        {"Tom & 'Jerry'", "Tom &amp; &#39;Jerry&#39;"},
        {"a\tb\nc\0d\x1F"sv, "a\u2409b\u240Ac\u2400d\u241F"},
        {"\x7F", "\u2421"},
        {"\xC2\x85", "\uFFFD"},                  // C1 control NEL
        {"\xEF\xB7\x90 \xEF\xBF\xBF", "\uFFFD \uFFFD"}, // noncharacters
        {"\xEF\xBF\xBD", "\uFFFD"},              // a replacement character stays one
        {"\xFF|\xC3|\xE2\x82", "\uFFFD|\uFFFD|\uFFFD\uFFFD"}, // ill-formed and cut sequences
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},  // a surrogate
        {"\xF0\x9F\x8F\x81", "\xF0\x9F\x8F\x81"}, // chequered flag
    };
    for (const Case& c : cases) EXPECT_EQ(htmlText(c.in), c.out) << c.in;

    // Any two bytes: the result is well-formed UTF-8 without markup
    // characters or raw controls.
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned b = 0; b < 256; ++b) {
            const char pair[2] = {static_cast<char>(a), static_cast<char>(b)};
            const std::string out = htmlText(std::string_view(pair, 2));
            std::size_t pos = 0;
            while (pos < out.size()) {
                const std::size_t at = pos;
                const char32_t cp = unicode::decodeUtf8(out, pos);
                ASSERT_FALSE(cp == 0xFFFD && pos - at != 3) << a << " " << b;
                ASSERT_TRUE(cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp <= 0x9F)) << a << " " << b;
                ASSERT_EQ(std::u32string_view(U"<>\"'").find(cp), std::u32string_view::npos) << a << " " << b;
            }
        }
    }
}

TEST(HtmlPage, SampleIsTheCommittedPage) {
    TempDir dir;
    const auto r =
        run(dir, {"--format=html", "--cst", source + "/examples/gem67.cst", source + "/examples/monza67.rpy"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == testutil::readFile(source + "/docs/monza67.html"))
        << "docs/monza67.html differs from the page gridtally writes; regenerate it with\n"
           "  gridtally --format=html --cst examples/gem67.cst examples/monza67.rpy > docs/monza67.html\n"
           "and its screenshot with tests/browser_check.py (see the README)";
    // The race first, its story told: gaps, laps down, retirements, the
    // fastest lap, places gained from the start, charts.
    for (const char* part : {"<td class=\"n gap\">45:06.451</td>", "<td class=\"n gap\">+1 lap</td>",
                             "<td class=\"n gap\">DNF</td>",
                             "1:29.295 <abbr class=\"fl\" title=\"fastest lap of the race\">FL</abbr>",
                             "<td class=\"n wide\">19</td><td class=\"n wide\">+8</td>",
                             "<td class=\"n wide\">10</td><td class=\"n wide\">-5</td>",
                             "<title id=\"lap-chart-2-title\">Lap chart of session 2</title>",
                             "<title id=\"gap-chart-2-title\">Gap chart of session 2</title>"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    EXPECT_LT(r.out.find("<section id=\"session-2\">"), r.out.find("<section id=\"session-1\">"));
    EXPECT_LT(r.out.find("<section id=\"session-1\">"), r.out.find("<h2>Entry List</h2>"));
    EXPECT_LT(r.out.find("<h2>Entry List</h2>"), r.out.find("<h2>Carset Info</h2>"));
}

TEST(HtmlPage, SampleConformsToHtml5) {
#ifdef _WIN32
    GTEST_SKIP() << "the checking scripts run on the build machine, not under Wine";
#endif
    RUN_CHECK("html_check.py", source + "/docs/monza67.html");
}

TEST(HtmlPage, SampleInAHeadlessBrowser) {
#ifdef _WIN32
    GTEST_SKIP() << "the browser check runs on the build machine, not under Wine";
#endif
    TempDir dir;
    RUN_CHECK("browser_check.py", source + "/docs/monza67.html", dir.path(), "--pdf-pages", "A4=3",
              "--pdf-pages", "Letter=4");
}

// A phone 390 CSS px wide shows the page without scrolling sideways, each
// car's driver and gap in sight and the charts' text legible.
TEST(HtmlPage, SampleFitsAPhone) {
#ifdef _WIN32
    GTEST_SKIP() << "the browser check runs on the build machine, not under Wine";
#endif
    RUN_CHECK("browser_check.py", "--phone", "--inside", ".result .dr", "--inside", ".result .gap",
              source + "/docs/monza67.html");
}

TEST(HtmlPage, HostileNamesStayText) {
#ifdef _WIN32
    GTEST_SKIP() << "the checking scripts run on the build machine, not under Wine";
#endif
    TempDir dir;
    for (bool hostile : {false, true}) {
        const NamedWeekend w = namedWeekend(hostile);
        const std::string name = hostile ? "hostile" : "plain";
        writeReplay(dir, name + ".rpy", w.replay);
        dir.write(name + ".cst", cstbuilder::carsetBytes(w.carset));
        const auto r =
            run(dir, {"--format=html", "--laps", "--cst", name + ".cst", "-o", name + ".html", name + ".rpy"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    RUN_CHECK("html_check.py", dir.file("hostile.html"), "--same-structure-as", dir.file("plain.html"),
              "--text", "<script>alert(1) </script>", "--text", "<script>alert(1)</script>",
              "--text", "\"><img src=x onerror=alert(1)>", "--text", "\"><img src=x A\u2401B\u2421C\uFFFD",
              "--text", "<b>'x'</b>", "--text", "<!-- -->&amp;", "--text", "Tom & 'Jerry'",
              "--text", "</td></tr></table>", "--text", "<style>*{display:none}</style>");
}

TEST(HtmlPage, FortyCarsAHundredLapsUnderAMegabyte) {
    TempDir dir;
    writeReplay(dir, "big.rpy", bigRace());
    for (const char* laps : {"--no-header", "--laps"}) {
        const auto r = run(dir, {"--format=html", laps, "big.rpy"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_LT(r.out.size(), 1'000'000u) << laps;
        EXPECT_NE(r.out.find("<title id=\"lap-chart-2-title\">"), std::string::npos);
    }
}

// The charts draw what their width can show: no line has more points than
// two a pixel of the 832-pixel plot, and eight times the laps make a page
// without the lap lists some 2.6 times larger (15 times, drawing them all).
TEST(HtmlPage, ChartsOfALongRaceAreThinnedToTheirWidth) {
    TempDir dir;
    std::size_t sizes[2] = {};
    for (int i : {0, 1}) {
        writeReplay(dir, "long.rpy", bigRace(64, i == 0 ? 2'000 : 16'000));
        const auto r = run(dir, {"--format=html", "long.rpy"});
        ASSERT_EQ(r.status, 0) << r.err;
        sizes[i] = r.out.size();
        std::size_t lines = 0;
        for (std::size_t at = r.out.find("points=\""); at != std::string::npos; at = r.out.find("points=\"", at + 1)) {
            const std::size_t end = r.out.find('"', at + 8);
            EXPECT_LE(std::count(r.out.begin() + std::ptrdiff_t(at), r.out.begin() + std::ptrdiff_t(end), ' ') + 1, 1'668);
            ++lines;
        }
        EXPECT_GE(lines, 64u);
    }
    EXPECT_LT(sizes[1], sizes[0] * 4) << sizes[0] << " -> " << sizes[1];
}

TEST(HtmlPage, CommandLine) {
    EXPECT_EQ(osamePath("replays/race.rpy", ReportFormat::HTML), "replays/race.html");
    EXPECT_EQ(osamePath("race.rpy", ReportFormat::SEMIKV), "race.txt");

    TempDir dir;
    writeReplay(dir, "race.rpy", namedWeekend(false).replay);
    auto r = run(dir, {"--format=html", "-osame", "race.rpy"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string page = testutil::readFile(dir.file("race.html"));
    std::erase(page, '\r'); // files on Windows end their lines in CR LF
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"));
    EXPECT_TRUE(page.ends_with("</footer>\n</body>\n</html>\n"));
    EXPECT_NE(page.find("<h2>Replay Info</h2>"), std::string::npos);
    EXPECT_EQ(page.find("<details>"), std::string::npos);

    // Without the header no replay or event facts, not even in the title;
    // with --laps every car's laps fold away in a details element.
    r = run(dir, {"--format=html", "--no-header", "--laps", "race.rpy"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Replay Info"), std::string::npos);
    EXPECT_EQ(r.out.find("hillside"), std::string::npos);
    EXPECT_NE(r.out.find("<title>Race weekend</title>"), std::string::npos);
    EXPECT_NE(r.out.find("<details><summary>3 <bdi>Ann Lee</bdi> \xC2\xB7 2 laps</summary>"), std::string::npos);
}
