// The archive mode: many replays in one run, end to end with the real
// binary; its rows are checked against each replay's own JSON report.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "archive/archive_inputs.h"
#include "archive/sha256.h"
#include "rpybuilder.h"
#include "testutil.h"

using namespace rpybuilder;
using testutil::readFile;
using testutil::runGridtally;
using testutil::TempDir;

namespace {

// A practice and a race with names that need quoting in CSV and escaping in
// JSON, a car that never sets a time and one that retires.
ReplaySpec weekendReplay(int cars, int crossings) {
    ReplaySpec r = raceReplay(cars, crossings);
    r.weekend.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {SessionType::RACE, 30, 604800.0}};
    r.drivers[0].lastName = "Hill, \"G\"";
    r.drivers[1].firstName = "Ren\xE9";
    SessionSpec practice = r.sessions[0];
    practice.cars[0].laps.resize(1);
    r.sessions.insert(r.sessions.begin(), practice);
    r.sessions[1].cars[1].laps.resize(static_cast<std::size_t>(crossings / 2));
    return r;
}

void put(const TempDir& dir, const std::string& name, const ReplaySpec& spec) {
    std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
    writeReplay(dir, name, spec);
}

// Replays of every kind in a folder tree: good ones, a copy under another
// name, one with other trailing data, one with a warning, broken ones.
void writeArchive(const TempDir& dir) {
    put(dir, "league/2023/r1.rpy", weekendReplay(6, 5));
    put(dir, "league/2023/R2.RPY", weekendReplay(4, 7));
    ReplaySpec trailing = weekendReplay(6, 5);
    trailing.fillerBytes = 1 << 20;
    put(dir, "league/2024/r1-trailing.rpy", trailing);
    ReplaySpec inconsistent = raceReplay(3, 4);
    inconsistent.header.lastSession = 5;
    put(dir, "league/2024/warning.rpy", inconsistent);
    ReplaySpec cut = raceReplay(3, 4);
    cut.fileLength = 200;
    put(dir, "league/broken/cut.rpy", cut);
    ReplaySpec other = raceReplay(1, 1);
    other.root.label = "XXXX";
    put(dir, "league/broken/other.rpy", other);
    dir.write("league/notes.txt", "not a replay");
}

testutil::RunOptions in(const TempDir& dir, std::string input = "") {
    testutil::RunOptions o;
    o.cwd = dir.path();
    o.stdinText = std::move(input);
    return o;
}

void expectRowsAgreeWithReports(const std::string& stream, const std::string& csvFolder = "") {
    std::vector<std::string> args = {GRIDTALLY_BIN, std::string(GRIDTALLY_SOURCE_DIR) + "/docs/archive.schema.json",
                                     stream};
    if (!csvFolder.empty()) args.push_back(csvFolder);
    const testutil::RunResult r = testutil::runCheckScript("check_archive.py", args);
    if (r.status == 77) GTEST_SKIP() << r.out;
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

// The key on the replays line of the path.
std::string keyOf(const std::string& stream, const std::string& path) {
    const std::size_t line = stream.rfind("{\"table\":\"replays\",\"key\":", stream.find("\"path\":\"" + path + "\""));
    return line == std::string::npos ? "" : stream.substr(line, 100);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

} // namespace

TEST(Archive, Sha256OfKnownMessages) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    // Where the processor has SHA instructions, BEST runs them.
    for (const Sha256::Engine engine : {Sha256::Engine::BEST, Sha256::Engine::PORTABLE}) {
        const auto bytes = [](std::string_view text) {
            return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        };
        for (const auto& c : cases) EXPECT_EQ(sha256Hex(bytes(c.message), engine), c.digest) << c.message.substr(0, 10);
        // Every length around the padding's turns, fed in pieces that
        // straddle the 64-byte blocks: the same digest either way.
        std::string text;
        for (int i = 0; i < 300; ++i) text += static_cast<char>(i * 7 + 3);
        for (std::size_t size : {55, 56, 63, 64, 65, 119, 120, 300})
            for (std::size_t piece : {1, 55, 63, 64, 65}) {
                const std::string_view whole = std::string_view(text).substr(0, size);
                Sha256 hash(engine);
                for (std::size_t at = 0; at < whole.size(); at += piece) hash.update(bytes(whole.substr(at, piece)));
                const auto digest = hash.finish();
                Sha256 portable(Sha256::Engine::PORTABLE);
                portable.update(bytes(whole));
                EXPECT_EQ(digest, portable.finish()) << size << " in pieces of " << piece;
            }
    }
}

TEST(Archive, PathListsSplitOnNulOrLines) {
    const struct {
        std::string text;
        std::vector<std::string> paths;
    } cases[] = {
        {"a.rpy\nb c.rpy\r\n\nd.rpy", {"a.rpy", "b c.rpy", "d.rpy"}},
        {std::string("a\nb.rpy\0c.rpy\0", 14), {"a\nb.rpy", "c.rpy"}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitPathList(c.text), c.paths) << c.text;
}

TEST(Archive, RowsAgreeWithEachReplaysJsonReportWhateverTheThreads) {
    TempDir dir;
    writeArchive(dir);
    for (bool laps : {false, true}) {
        std::vector<std::string> args = {"--archive", "league", "-j1"};
        if (laps) args.push_back("--laps");
        const testutil::RunResult one = runGridtally(args, in(dir));
        args[2] = "-j2";
        const testutil::RunResult two = runGridtally(args, in(dir));
        EXPECT_EQ(one.status, 1) << one.err;
        EXPECT_EQ(one.err, "");
        EXPECT_EQ(one.out, two.out);
        EXPECT_EQ(two.status, 1);

        args.insert(args.end(), {"--format=csv", "-o", "csv"});
        EXPECT_EQ(runGridtally(args, in(dir)).status, 1);
        dir.write("stream.jsonl", one.out);
        expectRowsAgreeWithReports(dir.file("stream.jsonl"), dir.file("csv"));
    }
    // The same race with other trailing data has the same key.
    const std::string out = runGridtally({"--archive", "league"}, in(dir)).out;
    EXPECT_EQ(keyOf(out, "league/2023/r1.rpy"), keyOf(out, "league/2024/r1-trailing.rpy"));
    EXPECT_NE(keyOf(out, "league/2023/r1.rpy"), keyOf(out, "league/2023/R2.RPY"));
}

TEST(Archive, FilesFromTakesNulAndNewlineListsAndStandardInput) {
    TempDir dir;
    writeArchive(dir);
    const std::string all = runGridtally({"--archive", "league"}, in(dir)).out;
    const std::string sorted = "league/2023/R2.RPY\nleague/2023/r1.rpy\nleague/2024/r1-trailing.rpy\n"
                               "league/2024/warning.rpy\nleague/broken/cut.rpy\nleague/broken/other.rpy\n";
    std::string nul = sorted;
    std::replace(nul.begin(), nul.end(), '\n', '\0');
    dir.write("list0", nul);
    EXPECT_EQ(runGridtally({"--archive", "--files-from", "list0"}, in(dir)).out, all);
#ifdef _WIN32
    // Listed with the system's '\' between folders: the rows still show '/'.
    std::string backslashed = sorted;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    dir.write("list-windows", backslashed);
    EXPECT_EQ(runGridtally({"--archive", "--files-from", "list-windows"}, in(dir)).out, all);
#endif
    // Any order, repeats, and a folder in the list give the same rows.
    EXPECT_EQ(runGridtally({"--archive", "--files-from", "-", "league/2023"},
                           in(dir, "league/broken/cut.rpy\nleague/2024\r\nleague/broken/other.rpy\n"))
                  .out,
              all);
}

TEST(Archive, ARerunReadsOnlyNewOrChangedReplays) {
    TempDir dir;
    writeArchive(dir);
    const std::vector<std::string> run = {"--archive", "--laps", "-o", "out", "league"};
    ASSERT_EQ(runGridtally(run, in(dir)).status, 1);

    // Unchanged by size and time, but different inside: not read again, so
    // its old rows stay.
    const std::string r2 = dir.file("league/2023/R2.RPY");
    const auto time = std::filesystem::last_write_time(r2);
    const std::string firstReplays = readFile(dir.file("out/replays.jsonl"));
    writeReplay(r2, weekendReplay(4, 7));
    {
        std::string bytes = readFile(r2);
        bytes[bytes.size() - 8] ^= 1; // a lap clock
        dir.write("league/2023/R2.RPY", bytes);
    }
    std::filesystem::last_write_time(r2, time);
    // Changed, removed, new.
    put(dir, "league/2023/r1.rpy", weekendReplay(7, 3));
    std::filesystem::remove(dir.file("league/broken/cut.rpy"));
    put(dir, "league/2025/r1.rpy", weekendReplay(2, 2));

    EXPECT_EQ(runGridtally(run, in(dir)).status, 1); // other.rpy is still broken
    ASSERT_EQ(runGridtally({"--archive", "--laps", "-o", "fresh", "league"}, in(dir)).status, 1);
    // R2.RPY (first in order) keeps the rows of its first reading; every
    // other row is as a fresh run makes it.
    const std::vector<std::string> kept = linesOf(readFile(dir.file("out/replays.jsonl")));
    const std::vector<std::string> fresh = linesOf(readFile(dir.file("fresh/replays.jsonl")));
    ASSERT_EQ(kept.size(), 6u);
    ASSERT_EQ(fresh.size(), 6u);
    EXPECT_EQ(kept[0], linesOf(firstReplays)[0]);
    EXPECT_NE(kept[0], fresh[0]);
    EXPECT_EQ(std::vector(kept.begin() + 1, kept.end()), std::vector(fresh.begin() + 1, fresh.end()));

    // Touched, it is read again: then every table is the fresh run's.
    std::filesystem::last_write_time(r2, time + std::chrono::seconds(5));
    EXPECT_EQ(runGridtally(run, in(dir)).status, 1);
    for (const char* table : {"replays.jsonl", "results.jsonl", "laps.jsonl"})
        EXPECT_EQ(readFile(dir.file("out/") + table), readFile(dir.file("fresh/") + table)) << table;
    // Without laps the laps table goes.
    EXPECT_EQ(runGridtally({"--archive", "-o", "out", "league"}, in(dir)).status, 1);
    EXPECT_FALSE(testutil::fileExists(dir.file("out/laps.jsonl")));
    EXPECT_EQ(readFile(dir.file("out/results.jsonl")), readFile(dir.file("fresh/results.jsonl")));
}

// A listed path that cannot be read gets a row of its own: no size where
// the system tells none, and the error worded for what the path names.
TEST(Archive, PathsThatCannotBeReadGetRowsOfTheirOwn) {
    TempDir dir;
    put(dir, "good.rpy", raceReplay(2, 3));
    std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.rpy", "cannot read missing.rpy: no such file"},
        {"nodir/x.rpy", "cannot read nodir/x.rpy: no such file"},
    };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(dir.file("fifo.rpy").c_str(), 0600), 0);
    cases.emplace_back("fifo.rpy", "fifo.rpy: not a regular file");
#endif
    std::vector<std::string> args = {"--archive", "good.rpy"};
    for (const auto& [path, error] : cases) args.push_back(path);
    const std::string out = runGridtally(args, in(dir)).out;
    for (const auto& [path, error] : cases) {
        const std::size_t at = out.find("\"path\":\"" + path + "\"");
        ASSERT_NE(at, std::string::npos) << path;
        const std::string row = out.substr(at, out.find('\n', at) - at);
        EXPECT_NE(row.find("\"size\":null,"), std::string::npos) << row;
        EXPECT_NE(row.find("\"error\":\"" + error + "\""), std::string::npos) << row;
    }
    EXPECT_NE(out.find("\"path\":\"good.rpy\",\"size\":" + std::to_string(buildReplay(raceReplay(2, 3)).size())),
              std::string::npos);
}

TEST(Archive, ExitStatuses) {
    TempDir dir;
    put(dir, "good.rpy", raceReplay(2, 3));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"--archive", "good.rpy"}, 0, ""},
        {{"--archive", "good.rpy", "missing.rpy"}, 1, ""},
        {{"--archive", "-o", "out", "--format=csv", "good.rpy"}, 0, "Writing archive to folder "},
        {{"--archive"}, 1, "Error: need replays or folders as parameters, or --files-from <file>\n"},
        {{"--archive", "--files-from", "missing.txt"}, 1, "Error: cannot read missing.txt: no such file\n"},
        {{"--archive", "-j", "0", "good.rpy"}, 1, "Error: -j takes a number of threads from 1 to 1024, not '0'\n"},
        {{"--archive", "-j"}, 1, "Error: need number of threads after -j\n"},
        {{"--archive", "--format=csv", "good.rpy"}, 1, "Error: --archive writes CSV only into a folder: -o <folder>\n"},
        {{"--archive", "--format=html", "good.rpy"}, 1,
         "Error: --archive writes JSON Lines or CSV (--format=json or --format=csv)\n"},
        {{"--archive", "--season", "s.txt"}, 1, "Error: give either --archive or --season, not both\n"},
        {{"--archive", "--bogus"}, testutil::statusMinusOne, "invalid option '--bogus'\n"},
    };
    for (const auto& c : cases) {
        const testutil::RunResult r = runGridtally(c.args, in(dir));
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        EXPECT_TRUE(r.err.starts_with(c.err)) << r.err;
    }
}
