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
    // Unoptimised: about 12 times slower than Release on a stress replay.
    budget *= 15;
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

// Why a run's peak memory says nothing about the program here, or null.
const char* memoryUnmeasured() {
#if defined(__SANITIZE_ADDRESS__)
    return "AddressSanitizer's shadow memory hides the program's own";
#else
    return testutil::underWine() ? "Wine reads a finished process's peak memory as 0" : nullptr;
#endif
}

// The peak memory of a run on a tiny replay: the process itself.
long processAloneKb(const TempDir& dir) {
    writeReplay(dir, "small.rpy", oneCar());
    return runGridtally({"small.rpy"}, in(dir)).peakMemoryKb;
}

TEST(Limits, MemoryFollowsTheReplayNotItsCounts) {
    if (const char* why = memoryUnmeasured()) GTEST_SKIP() << why;
    // Many cars without a single crossing: each costs a few bytes in the
    // file and must not cost much more in memory.
    TempDir dir;
    const long baseKb = processAloneKb(dir);
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

TEST(Limits, CarIdsChosenToCollideInAHashTable) {
    // A standard hash table reserved for 40,000 ints has 42,043 buckets and
    // hashes an int to itself: multiples of 42,043 all share one bucket.
    TempDir dir;
    ReplaySpec r = raceReplay(40000, 2);
    for (std::size_t i = 0; i < r.drivers.size(); ++i)
        r.drivers[i].carId = r.sessions[0].cars[i].carId = static_cast<std::int32_t>(i + 1) * 42043;
    writeReplay(dir, "flood.rpy", r);
    RunResult res = runGridtally({"--no-header", "flood.rpy"}, in(dir));
    ASSERT_EQ(res.status, 0) << res.err;
    expectCheap(res, "colliding car ids");
    EXPECT_NE(res.out.find("\n 1.   1 Test Driver               1 "), std::string::npos);
}

TEST(Limits, CarsetInheritanceCannotMultiplyKeys) {
    struct Case {
        std::string what;
        std::string sections; // after [Carset] and its two keys
        int line;             // of the header that would pass the limit
    };
    std::string manyKeys = "[Base]";
    for (int i = 0; i < 4000; ++i) manyKeys += "\r\nk" + std::to_string(i) + "=v";
    std::string hugeValue = "[Base]\r\nBig=" + std::string(1 << 20, 'v');
    for (int i = 0; i < 4000; ++i) manyKeys += "\r\n[S" + std::to_string(i) + " : Base]";
    for (int i = 0; i < 200; ++i) hugeValue += "\r\n[S" + std::to_string(i) + " : Base]";
    TempDir dir;
    writeReplay(dir, "x.rpy", oneCar());
    // Past a million keys at header 249, past 128 MiB of keys and values at
    // header 127.
    for (const Case& c : std::vector<Case>{{"4000 keys 4000 times", manyKeys, 4 + 4000 + 248},
                                           {"1 MiB 200 times", hugeValue, 5 + 126}}) {
        dir.write("big.cst", carsetNamed("gem67", c.sections));
        RunResult r = runGridtally({"--cst", "big.cst", "x.rpy"}, in(dir));
        EXPECT_EQ(r.status, 2) << c.what;
        EXPECT_EQ(r.err, "Error: big.cst: Too many keys at line " + std::to_string(c.line) + "\n");
        expectCheap(r, c.what);

        // Detection passes over it.
        dir.write("cst/big.cst", carsetNamed("gem67", c.sections));
        r = runGridtally({"--cst-auto", "x.rpy"}, in(dir));
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        expectCheap(r, c.what);
    }
}

TEST(Limits, TwoThousandCarsAgainstACarsetOf100000Cars) {
    TempDir dir;
    std::string sections;
    for (int i = 0; i < 100000; ++i)
        sections += "[Car" + std::to_string(i) + "]\r\nTeam=T" + std::to_string(i) + "\r\n";
    dir.write("big.cst", carsetNamed("gem67", sections));
    ReplaySpec r = raceReplay(2000, 2);
    for (std::size_t i = 0; i < r.drivers.size(); ++i) r.drivers[i].carIndex = static_cast<std::uint32_t>(i + 1) * 37;
    writeReplay(dir, "x.rpy", r);
    RunResult res = runGridtally({"--cst", "big.cst", "x.rpy"}, in(dir));
    ASSERT_EQ(res.status, 0) << res.err;
    expectCheap(res, "2000 cars");
    EXPECT_NE(res.out.find("\n  1 T37                           unkMake37"), std::string::npos);
    EXPECT_NE(res.out.find("\n999 T36963 "), std::string::npos);
}

// A replay whose one car claims lapBytes of lap records that are a hole in
// the file: a few kilobytes on disk, all of them zero.
std::string writeSparseLaps(const TempDir& dir, const std::string& name, std::uint32_t lapBytes) {
    ReplaySpec r = raceReplay(1, 0);
    const auto body = static_cast<std::uint32_t>(rootData(r).size());
    r.sessions[0].cars[0].chunk.sizeField = 4 + lapBytes;
    r.sessions[0].chunk.sizeField = 12 + 4 + lapBytes;
    r.root.sizeField = body + lapBytes;
    r.fileLength = 12 + std::uint64_t(body) + lapBytes;
    return writeReplay(dir, name, r);
}

TEST(Limits, LapTableMemoryFollowsTheLapRecords) {
    if (const char* why = memoryUnmeasured()) GTEST_SKIP() << why;
    TempDir dir;
    const long baseKb = processAloneKb(dir);
    constexpr std::uint32_t lapBytes = 24 << 20; // 6.3 million crossings
    writeSparseLaps(dir, "sparse.rpy", lapBytes);
    RunResult r = runGridtally({"--no-header", "sparse.rpy"}, in(dir));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n 1.   1 Test Driver             6291455        0.000"), std::string::npos) << r.out;
    // The records read through the mapping, and the table at most 3 times
    // their size; it was 22 times.
    EXPECT_LT(r.peakMemoryKb - baseKb, 4.5 * (lapBytes / 1024)) << "process alone " << baseKb << " KB";
}

TEST(Limits, ReplayOfMoreThan100MillionCrossingsIsRefusedAtOnce) {
    TempDir dir;
    writeSparseLaps(dir, "huge.rpy", 4 * 100'000'001u);
    RunResult r = runGridtally({"huge.rpy"}, in(dir));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Replay holds 100000001 lap records, more than the 100000000 gridtally reads\n");
    expectCheap(r, "refusal");
    if (!memoryUnmeasured()) {
        EXPECT_LT(r.peakMemoryKb, 64 * 1024);
    }
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
