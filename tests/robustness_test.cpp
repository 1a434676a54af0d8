// Broken input of every kind must end in an error message, never a crash:
// the sample weekend and its carset, mutated at random (with a fixed seed),
// go through the whole pipeline. Under the sanitizers this also catches any
// out-of-bounds read on the way. A replay file, read in pieces or mapped,
// must give what its bytes in memory give.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "ini/ini.h"
#include "pipeline/replay_report.h"
#include "collected_diagnostics.h"
#include "replay/replay_file.h"
#include "report/report.h"
#include "rpybuilder.h"
#include "testutil.h"
#include "weekend/weekend_builder.h"

namespace {

using namespace rpybuilder;

std::string sample(const char* name) {
    return testutil::readFile(std::string(GRIDTALLY_SOURCE_DIR) + "/examples/" + name);
}

// Overwrites, inserts or deletes a few bytes, mostly near the start where
// the records lie; sometimes cuts the file.
std::string mutate(std::string bytes, std::mt19937& rng) {
    const std::size_t edits = 1 + rng() % 8;
    for (std::size_t i = 0; i < edits && !bytes.empty(); ++i) {
        const std::size_t window = std::min<std::size_t>(bytes.size(), rng() % 2 ? 2048 : bytes.size());
        const std::size_t at = rng() % window;
        switch (rng() % 4) {
        case 0: bytes[at] = static_cast<char>(rng()); break;
        case 1:
            for (std::size_t k = 0; k < 4 && at + k < bytes.size(); ++k) bytes[at + k] = static_cast<char>(rng());
            break;
        case 2: bytes.erase(at, 1 + rng() % 64); break;
        default: bytes.insert(at, 1 + rng() % 16, static_cast<char>(rng())); break;
        }
    }
    if (rng() % 10 == 0) bytes.resize(rng() % (bytes.size() + 1));
    return bytes;
}

// What the run makes of a replay: its conversion in every format, or the
// message it is refused with, then its warnings. Read from the file at
// path or, given its bytes, from them in memory under the same name.
struct Conversion {
    bool refused = false;
    std::string text;
};

Conversion convert(const std::string& path, const std::string* bytes = nullptr) {
    Conversion out;
    CollectedDiagnostics warnings;
    try {
        for (ReportFormat format :
             {ReportFormat::TEXT, ReportFormat::SEMIKV, ReportFormat::JSON, ReportFormat::CSV, ReportFormat::HTML}) {
            ReportOptions options;
            options.format = format;
            options.laps = true;
            StringSink sink;
            if (bytes)
                writeReplayReport(path, byteSpan(*bytes), CarsetChoice{}, options, sink, warnings);
            else
                writeReplayReport(path, CarsetChoice{}, options, sink, warnings);
            EXPECT_FALSE(sink.text().empty());
            out.text += sink.text();
        }
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()), "");
        out.refused = true;
        out.text = e.what();
    }
    for (const std::string& warning : warnings.messages) out.text += "\n" + warning;
    return out;
}

// Whether a file's conversion is its bytes' one; where they part when not.
testing::AssertionResult sameAsInMemory(const Conversion& fromFile, const Conversion& inMemory) {
    if (fromFile.text == inMemory.text) return testing::AssertionSuccess();
    const std::size_t at = static_cast<std::size_t>(
        std::mismatch(fromFile.text.begin(), fromFile.text.end(), inMemory.text.begin(), inMemory.text.end()).first -
        fromFile.text.begin());
    return testing::AssertionFailure() << "from the file, at byte " << at << ": \"" << fromFile.text.substr(at, 100)
                                       << "\"; in memory: \"" << inMemory.text.substr(at, 100) << '"';
}

} // namespace

TEST(Robustness, MutatedReplaysGiveAReportOrAMessage) {
    testutil::TempDir dir;
    const std::string original = sample("monza67.rpy");
    std::mt19937 rng(20261208);
    int refused = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string bytes = mutate(original, rng);
        const std::string path = dir.write("x.rpy", bytes);
        const Conversion fromFile = convert(path);
        EXPECT_TRUE(sameAsInMemory(fromFile, convert(path, &bytes))) << "mutation " << i;
        if (fromFile.refused) ++refused;
    }
    // Both outcomes must have been exercised for the test to mean anything.
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, 400);
}

TEST(Robustness, MutatedCarsetsParseOrFailWithAMessage) {
    const std::string original = sample("gem67.cst");
    std::mt19937 rng(1967);
    int failed = 0;
    for (int i = 0; i < 2000; ++i) {
        try {
            IniSection ini = parseIni(mutate(original, rng));
            (void)ini;
        } catch (const IniException& e) {
            EXPECT_NE(std::string(e.what()), "");
            ++failed;
        }
    }
    EXPECT_GT(failed, 0);
}

// ---- Replay files read in pieces ----------------------------------------------

namespace {

// A practice of practiceLaps crossings for each of three cars, and a race
// whose one car crosses as often as it takes for the records to end at
// recordsEnd.
ReplaySpec recordsEndingAt(std::uint64_t recordsEnd, int practiceLaps) {
    ReplaySpec r = raceReplay(3, practiceLaps);
    r.weekend.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {SessionType::RACE, 32767, 604800.0}};
    r.sessions.push_back(SessionSpec{{CarSpec{1, {}}}});
    std::vector<std::uint32_t>& laps = r.sessions.back().cars.back().laps;
    const std::uint64_t base = buildReplay(r).size();
    while (base + 4 * laps.size() < recordsEnd) laps.push_back(lapWord(900 * static_cast<std::uint32_t>(laps.size() + 1)));
    return r;
}

// The records are read up to the end of the page that holds the header
// after them, or up to the file's end: nothing more, and the reports come
// out as from the bytes in memory. Records too large to copy are mapped.
TEST(ReplayFiles, RecordsReadInPiecesReadAsInMemory) {
    constexpr std::uint64_t page = 4096;
    struct Case {
        const char* name;
        std::uint64_t recordsEnd;
        int practiceLaps;
        std::string trailing;
        std::uint32_t fillerBytes;
        bool mapped = false;
    };
    const std::string smac = chunk("SMAC", 0, std::string(96, 's'));
    const Case cases[] = {
        {"next header on the next page", page, 2, "", 1 << 20},
        {"next header across a page end", page - 8, 2, "", 1 << 20},
        {"next header up to a page end", page - 12, 2, "", 1 << 20},
        {"records over several pages", 3 * page + 100, 300, smac, 1 << 20},
        {"sessions up to the file's end", page, 2, "", 0},
        {"sessions up to the file's end, past a page", page + 4, 2, "", 0},
        {"fewer bytes than a header after the sessions", page - 4, 2, "BTPL" + u32le(0), 0},
        {"records up to 64 KiB", 16 * page - 12, 300, "", 1 << 20},
        {"records past 64 KiB", 16 * page - 8, 300, "", 1 << 20, true},
    };
    testutil::TempDir dir;
    for (const Case& c : cases) {
        ReplaySpec spec = recordsEndingAt(c.recordsEnd, c.practiceLaps);
        ASSERT_EQ(buildReplay(spec).size(), c.recordsEnd) << c.name;
        spec.trailing = c.trailing;
        spec.fillerBytes = c.fillerBytes;
        const std::string path = writeReplay(dir, "r.rpy", spec);
        const std::string bytes = buildReplay(spec);
        const std::uint64_t read =
            c.mapped ? bytes.size() : std::min((c.recordsEnd + 12 + page - 1) / page * page, std::uint64_t(bytes.size()));
        EXPECT_EQ(ReplayFile(path).chunks().bytes().size(), read) << c.name;
        const Conversion fromFile = convert(path);
        EXPECT_FALSE(fromFile.refused) << c.name << ": " << fromFile.text;
        EXPECT_TRUE(sameAsInMemory(fromFile, convert(path, &bytes))) << c.name;
    }
}

// Every fault of the layout, and faults inside it, read as from the bytes
// in memory: the same message.
TEST(ReplayFiles, BrokenLayoutsReadAsInMemory) {
    const ReplaySpec good = raceReplay(3, 4);
    const std::uint64_t length = buildReplay(good).size();
    const std::vector<std::pair<const char*, std::function<void(ReplaySpec&)>>> faults = {
        {"root label", [](ReplaySpec& r) { r.root.label = "RPLY"; }},
        {"root longer than the file", [&](ReplaySpec& r) { r.fileLength = length - 4; }},
        {"file longer than the root", [&](ReplaySpec& r) { r.fileLength = length + 4; }},
        {"header label", [](ReplaySpec& r) { r.header.chunk.label = "DHPX"; }},
        {"weekend labelled as the header", [](ReplaySpec& r) { r.weekend.chunk.label = "DHPR"; }},
        {"root ending inside the weekend", [](ReplaySpec& r) { r.root.dataBytes = 88 + 100; }},
        {"root ending before the driver list", [](ReplaySpec& r) { r.root.dataBytes = 88 + 196; }},
        {"driver list past the root's end", [](ReplaySpec& r) { r.driverList.sizeField = 1 << 20; }},
        {"session past the root's end", [](ReplaySpec& r) { r.sessions[0].chunk.sizeField = 1 << 20; }},
        {"records past 64 KiB", [](ReplaySpec& r) { r.driverList.dataBytes = 100 << 10; }},
        {"car past its session's end", [](ReplaySpec& r) { r.sessions[0].cars[0].chunk.sizeField = 1000; }},
        {"another game", [](ReplaySpec& r) { r.root.version = 3; }},
    };
    testutil::TempDir dir;
    std::vector<std::pair<std::string, std::string>> files = {{"shorter than a header", "YLPR"}};
    for (const auto& [name, fault] : faults) {
        ReplaySpec spec = good;
        fault(spec);
        files.emplace_back(name, buildReplay(spec));
    }
    for (const auto& [name, bytes] : files) {
        const std::string path = dir.write("r.rpy", bytes);
        const Conversion fromFile = convert(path);
        EXPECT_TRUE(fromFile.refused) << name;
        EXPECT_TRUE(sameAsInMemory(fromFile, convert(path, &bytes))) << name;
    }
}

} // namespace
