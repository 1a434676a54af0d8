// The command line end to end: the real binary in a temporary directory,
// exact standard output, standard error and exit status.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/command_line.h"
#include "testutil.h"

using testutil::RunOptions;
using testutil::runGridtally;
using testutil::TempDir;

namespace {

const std::string usage = usageText("gridtally") + "\n";

RunOptions in(const TempDir& dir, std::string answer = "") {
    RunOptions o;
    o.cwd = dir.path();
    o.stdinText = std::move(answer);
    return o;
}

} // namespace

TEST(CommandLine, UsageAndVersionTexts) {
    EXPECT_TRUE(usage.starts_with("\nUsage: gridtally [OPTION] <REPLAY>\nMake reports from replay files (.rpy)\n\n  --cst <file>"));
    EXPECT_TRUE(usage.ends_with("\n  --version          output version information and exit\n\n"));
    EXPECT_EQ(usage.find("--no-std-conv"), std::string::npos);
    EXPECT_NE(usage.find("  --format=semikv    output format: semicolon delimited key=value\n"
                         "  --format=json      output format: JSON document\n"
                         "  --format=csv       output format: CSV table (results, or laps with --laps)\n"
                         "  --format=html      output format: web page with tables and charts\n"
                         "  --season <file>    championship standings of the rounds in a season file\n"
                         "  --site <folder>    with --season: the league's site (pages and data) in a folder\n"
                         "  --teams            CSV standings: the teams' table instead of the drivers'\n"
                         "  --no-header        do not display replay information\n"),
              std::string::npos);
    EXPECT_EQ(programName("C:\\games\\gridtally.exe"), "gridtally.exe");
    EXPECT_EQ(programName("/usr/local/bin/gridtally"), "gridtally");
    EXPECT_EQ(programName("gridtally"), "gridtally");
}

TEST(CommandLine, NoArgumentsShowsUsageWithStatus3) {
    TempDir dir;
    auto r = runGridtally({}, in(dir));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, usage);
    EXPECT_EQ(r.err, "");
}

TEST(CommandLine, HelpAndVersionEndTheRunWhereTheyStand) {
    TempDir dir;
    for (auto args : std::vector<std::vector<std::string>>{
             {"--help"}, {"--laps", "--cst-auto", "--help"}, {"--help", "-x"}, {"--help", "missing.rpy"}}) {
        auto r = runGridtally(args, in(dir));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, usage);
        EXPECT_EQ(r.err, "");
    }
    auto v = runGridtally({"--no-header", "--version", "--help"}, in(dir));
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, versionText("gridtally") + "\n");
    EXPECT_TRUE(v.out.starts_with("gridtally v0.6.4\n\n"));
    EXPECT_EQ(std::count(v.out.begin(), v.out.end(), '\n'), 3);
    EXPECT_EQ(v.err, "");
}

TEST(CommandLine, InvalidOptionShowsMessageThenUsageWithStatusMinus1) {
    TempDir dir;
    for (std::string bad : {"-x", "--format=TXT", "--cst=my.cst", "-"}) {
        auto r = runGridtally({"--laps", bad, "race.rpy"}, in(dir));
        EXPECT_EQ(r.status, testutil::statusMinusOne) << bad;
        EXPECT_EQ(r.err, "invalid option '" + bad + "'\n");
        EXPECT_EQ(r.out, usage);
    }
}

TEST(CommandLine, MissingReplayFailsWithStatus1) {
    TempDir dir;
    dir.write("folder.rpy/x", "");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--laps"}, "Error: need replay file as parameter\n"},
        {{"--cst", "a.cst"}, "Error: need replay file as parameter\n"},
        {{"missing.rpy"}, "Error: cannot read missing.rpy: no such file\n"},
        {{"folder.rpy"}, "Error: cannot read folder.rpy: no such file\n"},
        {{""}, "Error: cannot read : no such file\n"},
        // The last free argument is the replay.
        {{"folder.rpy", "other.rpy"}, "Error: cannot read other.rpy: no such file\n"},
    };
    for (const auto& c : cases) {
        auto r = runGridtally(c.args, in(dir));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

TEST(CommandLine, MissingCarsetFailsWithStatus2) {
    TempDir dir;
    dir.write("race.rpy", "");
    dir.write("cars/x", "");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--cst", "my.cst", "race.rpy"}, "Error: cannot read my.cst: no such file\n"},
        {{"race.rpy", "--cst", "my.cst"}, "Error: cannot read my.cst: no such file\n"},
        {{"--cst", "cars", "race.rpy"}, "Error: cannot read cars: no such file\n"},
        // An open slot takes an argument that looks like an option.
        {{"--cst", "-x", "race.rpy"}, "Error: cannot read -x: no such file\n"},
        // Slots fill in a fixed order: the carset slot first.
        {{"-o", "--cst", "a", "b", "race.rpy"}, "Error: cannot read a: no such file\n"},
        // A reopened slot forgets what it held.
        {{"--cst", "gone.cst", "--cst", "my.cst", "race.rpy"}, "Error: cannot read my.cst: no such file\n"},
    };
    for (const auto& c : cases) {
        auto r = runGridtally(c.args, in(dir));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

TEST(CommandLine, DeclinedOverwriteEndsWithStatus4) {
    TempDir dir;
    dir.write("race.rpy", "");
    dir.write("out.txt", "keep me");
    const std::string prompt = "Output file out.txt already exists. Overwrite ? (Y/N): ";
    for (std::string answer : {"n\n", "\n", "", "N", "no", " y"}) {
        auto r = runGridtally({"-o", "out.txt", "race.rpy"}, in(dir, answer));
        EXPECT_EQ(r.status, 4) << answer;
        EXPECT_EQ(r.err, prompt);
        EXPECT_EQ(r.out, "");
    }
    RunOptions closed = in(dir);
    closed.closeStdin = true;
    auto r = runGridtally({"-o", "out.txt", "race.rpy"}, closed);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, prompt);
    EXPECT_EQ(testutil::readFile(dir.file("out.txt")), "keep me");
}

TEST(CommandLine, SlotsFillInFixedOrder) {
    TempDir dir;
    dir.write("race.rpy", "");
    dir.write("a", "[Carset]\nName=A\n");
    dir.write("b", "existing");
    // a is the carset, b the output file: the question names b.
    auto r = runGridtally({"-o", "--cst", "a", "b", "race.rpy"}, in(dir, "n"));
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "Output file b already exists. Overwrite ? (Y/N): ");
}

TEST(CommandLine, OsameDerivesTheOutputName) {
    const ReportFormat txt = ReportFormat::TEXT;
    EXPECT_EQ(osamePath("race.rpy", txt), "race.txt");
    EXPECT_EQ(osamePath("C:\\replays\\race", txt), "C:\\replays\\race.txt");
    EXPECT_EQ(osamePath("dir.old\\race", txt), "dir.old\\race.txt");
    EXPECT_EQ(osamePath("dir.old/race", txt), "dir.old/race.txt");
    EXPECT_EQ(osamePath(".hidden", txt), ".hidden.txt");
    EXPECT_EQ(osamePath("replays/.hidden", txt), "replays/.hidden.txt");
    EXPECT_EQ(osamePath("a.b.rpy", txt), "a.b.txt");
    EXPECT_EQ(osamePath("C:race.rpy", txt), "C:race.txt");
    // Each format its extension; semikv keeps the text's.
    EXPECT_EQ(osamePath("a.b.rpy", ReportFormat::SEMIKV), "a.b.txt");
    EXPECT_EQ(osamePath("a.b.rpy", ReportFormat::JSON), "a.b.json");
    EXPECT_EQ(osamePath("dir.old/race", ReportFormat::CSV), "dir.old/race.csv");

    TempDir dir;
    dir.write("race.rpy", "");
    dir.write("race.txt", "old");
    dir.write("given.txt", "old");
    auto r = runGridtally({"-osame", "race.rpy"}, in(dir, "n"));
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "Output file race.txt already exists. Overwrite ? (Y/N): ");
    dir.write("race.json", "old");
    r = runGridtally({"--format=json", "-osame", "race.rpy"}, in(dir, "n"));
    EXPECT_EQ(r.err, "Output file race.json already exists. Overwrite ? (Y/N): ");
    // A name given with -o wins over -osame, in either order.
    r = runGridtally({"-osame", "-o", "given.txt", "race.rpy"}, in(dir, "n"));
    EXPECT_EQ(r.err, "Output file given.txt already exists. Overwrite ? (Y/N): ");
    r = runGridtally({"-o", "given.txt", "-osame", "race.rpy"}, in(dir, "n"));
    EXPECT_EQ(r.err, "Output file given.txt already exists. Overwrite ? (Y/N): ");
    // -o as the last argument leaves the slot open: -osame's name is used.
    r = runGridtally({"-osame", "race.rpy", "-o"}, in(dir, "n"));
    EXPECT_EQ(r.err, "Output file race.txt already exists. Overwrite ? (Y/N): ");
    // An existing directory counts as existing too.
    dir.write("dir.txt/x", "");
    dir.write("dir.rpy", "");
    r = runGridtally({"-osame", "dir.rpy"}, in(dir, "n"));
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "Output file dir.txt already exists. Overwrite ? (Y/N): ");
}
