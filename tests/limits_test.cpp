// Large and hostile inputs stay cheap: time and memory grow with the input,
// never faster, and nothing waits on a file that never ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cstbuilder.h"
#include "rpybuilder.h"
#include "testutil.h"

using namespace rpybuilder;
using testutil::RunOptions;
using testutil::RunResult;
using testutil::runGridtally;
using testutil::TempDir;

namespace {

// CPU budget of one run. Sanitizers and unoptimised builds are many times
// slower; the budget scales with them so that only a change of complexity
// class fails.
double cpuBudget() {
    double budget = 0.5;
#ifndef NDEBUG
    budget *= 3;
#endif
#if defined(__SANITIZE_ADDRESS__)
    budget *= 8;
#endif
    return budget;
}

RunOptions in(const TempDir& dir) {
    RunOptions o;
    o.cwd = dir.path();
    return o;
}

void expectCheap(const RunResult& r, const std::string& what) {
    if (testutil::underWine()) return;
    EXPECT_LT(r.cpuSeconds, cpuBudget()) << what;
}

ReplaySpec oneCar() { return raceReplay(1, 3); }

std::string carsetNamed(const std::string& cardir, const std::string& extra = {}) {
    cstbuilder::CarsetSpec spec;
    spec.name = "Carset " + cardir;
    spec.cardir = cardir;
    if (!extra.empty()) spec.extraLines = {extra};
    return cstbuilder::carsetBytes(spec);
}

TEST(Limits, RaceOf64CarsWith16000CrossingsEach) {
    TempDir dir;
    writeReplay(dir, "race.rpy", raceReplay(64, 16000));
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"race.rpy"}, {"--format=semikv", "race.rpy"}, {"--format=html", "race.rpy"},
             {"--laps", "-o", "laps.txt", "race.rpy"}}) {
        RunResult r = runGridtally(args, in(dir));
        ASSERT_EQ(r.status, 0) << r.err;
        expectCheap(r, args.front());
    }
    // Every car finishes on the lead lap, in crossing order.
    RunResult r = runGridtally({"--no-header", "race.rpy"}, in(dir));
    EXPECT_NE(r.out.find("\n 1.   1 Test Driver             15999  3:59:59.100"), std::string::npos);
    EXPECT_NE(r.out.find("\n64.  64 Test Driver             15999  3:59:59.163"), std::string::npos);
}

TEST(Limits, CarsetWith100000Sections) {
    TempDir dir;
    writeReplay(dir, "x.rpy", oneCar());
    std::string sections;
    for (int i = 0; i < 100000; ++i) sections += "[Section" + std::to_string(i) + "]\r\nKey=value\r\n";
    dir.write("big.cst", carsetNamed("gem67", sections));
    RunResult r = runGridtally({"--cst", "big.cst", "x.rpy"}, in(dir));
    ASSERT_EQ(r.status, 0) << r.err;
    expectCheap(r, "--cst");

    dir.write("cst/big.cst", carsetNamed("gem67", sections));
    r = runGridtally({"--cst-auto", "x.rpy"}, in(dir));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Using carset file " + testutil::nativePath("cst/big.cst") + "\n");
    expectCheap(r, "--cst-auto");
}

TEST(Limits, DirectoryOf10000Carsets) {
    TempDir dir;
    writeReplay(dir, "x.rpy", oneCar());
    for (int i = 0; i < 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "cst/c%05d.cst", i);
        dir.write(name, carsetNamed(i == 7777 ? "gem67" : "other" + std::to_string(i)));
    }
    RunResult r = runGridtally({"--cst-auto", "x.rpy"}, in(dir));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Using carset file " + testutil::nativePath("cst/c07777.cst") + "\n");
    expectCheap(r, "detection");
}

TEST(Limits, IniLinesOf10Megabytes) {
    TempDir dir;
    writeReplay(dir, "x.rpy", oneCar());
    const std::string huge(10 << 20, 'v');
    struct Case {
        std::string extra;
        int status;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {"[Long]\r\nKey=" + huge, 0, ""},
             {";" + huge, 0, ""},
             {"[" + huge + "]", 0, ""},
             {"   \t" + huge, 2, "Error: long.cst: Syntax error at line 3\n"},
         }) {
        dir.write("long.cst", carsetNamed("gem67", c.extra));
        RunResult r = runGridtally({"--cst", "long.cst", "x.rpy"}, in(dir));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        expectCheap(r, c.extra.substr(0, 8));
    }
}

TEST(Limits, MemoryFollowsTheReplayNotItsCounts) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory hides the program's own";
#endif
    if (testutil::underWine()) GTEST_SKIP() << "Wine reads a finished process's peak memory as 0";
    // Many cars without a single crossing: each costs a few bytes in the
    // file and must not cost much more in memory.
    TempDir dir;
    writeReplay(dir, "small.rpy", oneCar());
    const long baseKb = runGridtally({"small.rpy"}, in(dir)).peakMemoryKb; // the process itself
    std::string path = writeReplay(dir, "many.rpy", raceReplay(30000, 0));
    const long fileKb = static_cast<long>(testutil::readFile(path).size() / 1024);
    RunResult res = runGridtally({"-o", "out.txt", "many.rpy"}, in(dir));
    ASSERT_EQ(res.status, 0) << res.err;
    const long reportKb = static_cast<long>(testutil::readFile(dir.file("out.txt")).size() / 1024);
    // About 5.6 times today; a reserve of a typical race's laps for every
    // car made it 8.7.
    EXPECT_LT(res.peakMemoryKb - baseKb, 7 * (fileKb + reportKb))
        << "file " << fileKb << " KB, report " << reportKb << " KB, process alone " << baseKb << " KB";
    expectCheap(res, "30000 cars");
}

TEST(Limits, DevicesAreRefusedNotRead) {
    TempDir dir;
    for (const char* device : {"/dev/zero", "/dev/null", "/dev/urandom"}) {
        if (!testutil::fileExists(device)) continue;
        RunResult r = runGridtally({device}, in(dir));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("Error: ") + device + ": not a regular file\n");
    }
}

} // namespace
