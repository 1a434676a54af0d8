// Large and hostile inputs stay cheap: cost grows with the input, never
// faster (the program compared with itself, never with the clock), and
// nothing waits on a file that never ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
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

RunOptions in(const TempDir& dir) {
    RunOptions o;
    o.cwd = dir.path();
    return o;
}

// CPU seconds of the cheaper of two runs: a busy machine only ever adds time,
// so the smaller figure is the nearer to the program's own cost.
double cpuOf(const std::function<RunResult()>& run) {
    double best = 0;
    for (int i = 0; i < 2; ++i) {
        const RunResult r = run();
        EXPECT_NE(r.status, -1) << r.err;
        best = i == 0 ? r.cpuSeconds : std::min(best, r.cpuSeconds);
    }
    return best;
}

// Costs compare the program with itself, never with the clock: run `large`
// against `small` and fail when it costs more than `factor` times as much.
// Work that grows linearly with an input 8 times larger stays under 16
// times (process start-up only lowers the ratio); quadratic work reaches 64.
// Build type, sanitizers and a loaded machine slow both runs alike.
void expectCostRatio(const std::string& what, double factor, const std::function<RunResult()>& large,
                     const std::function<RunResult()>& small) {
    if (testutil::underWine()) return; // Wine's process times include its server's work
    const double big = cpuOf(large), little = cpuOf(small);
    EXPECT_LT(big, factor * little) << what << ": " << big << " s against " << little << " s";
}

// The scale between the small and the large input of a growth check, and
// the cost ratio linear work stays under.
constexpr int scale = 8;
constexpr double linearRatio = 16;

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
    writeReplay(dir, "short.rpy", raceReplay(64, 16000 / scale));
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"--format=semikv"}, {"--format=html"}, {"--laps", "--force", "-o", "laps.txt"}}) {
        const auto runOn = [&](const std::string& replay) {
            std::vector<std::string> all = args;
            all.push_back(replay);
            return [&dir, all] {
                RunResult r = runGridtally(all, in(dir));
                EXPECT_EQ(r.status, 0) << r.err;
                return r;
            };
        };
        expectCostRatio(args.empty() ? "text" : args.front(), linearRatio, runOn("race.rpy"), runOn("short.rpy"));
    }
    // Every car finishes on the lead lap, in crossing order.
    RunResult r = runGridtally({"--no-header", "race.rpy"}, in(dir));
    EXPECT_NE(r.out.find("\n 1.   1 Test Driver             15999  3:59:59.100"), std::string::npos);
    EXPECT_NE(r.out.find("\n64.  64 Test Driver             15999  3:59:59.163"), std::string::npos);
}

TEST(Limits, CarsetWith100000Sections) {
    const auto sections = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "[Section" + std::to_string(i) + "]\r\nKey=value\r\n";
        return carsetNamed("gem67", text);
    };
    TempDir large, small;
    for (const TempDir* dir : {&large, &small}) {
        const std::string carset = sections(dir == &large ? 100000 : 100000 / scale);
        writeReplay(*dir, "x.rpy", oneCar());
        dir->write("big.cst", carset);
        dir->write("cst/big.cst", carset);
    }
    const auto run = [](const TempDir& dir, std::vector<std::string> args) {
        return [&dir, args] {
            RunResult r = runGridtally(args, in(dir));
            EXPECT_EQ(r.status, 0) << r.err;
            return r;
        };
    };
    EXPECT_EQ(run(large, {"--cst-auto", "x.rpy"})().err,
              "Using carset file " + testutil::nativePath("cst/big.cst") + "\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--cst", "big.cst", "x.rpy"}, {"--cst-auto", "x.rpy"}})
        expectCostRatio(args.front(), linearRatio, run(large, args), run(small, args));
}

TEST(Limits, DirectoryOf10000Carsets) {
    // The match is the last file read in either folder.
    TempDir large, small;
    for (const TempDir* dir : {&large, &small}) {
        const int count = dir == &large ? 10000 : 10000 / scale;
        writeReplay(*dir, "x.rpy", oneCar());
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "cst/c%05d.cst", i);
            dir->write(name, carsetNamed(i == count - 1 ? "gem67" : "other" + std::to_string(i)));
        }
    }
    const auto detect = [](const TempDir& dir) {
        return [&dir] { return runGridtally({"--cst-auto", "x.rpy"}, in(dir)); };
    };
    const RunResult r = detect(large)();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Using carset file " + testutil::nativePath("cst/c09999.cst") + "\n");
    expectCostRatio("detection", linearRatio, detect(large), detect(small));
}

TEST(Limits, IniLinesOf10Megabytes) {
    TempDir dir;
    writeReplay(dir, "x.rpy", oneCar());
    struct Case {
        std::string what, before, after;
        int status;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {"value", "[Long]\r\nKey=", "", 0, ""},
             {"comment", ";", "", 0, ""},
             {"section name", "[", "]", 0, ""},
             {"blank", "   \t", "", 2, ": Syntax error at line 3\n"},
         }) {
        const auto run = [&](const char* name, std::size_t length) {
            dir.write(name, carsetNamed("gem67", c.before + std::string(length, 'v') + c.after));
            return [&dir, &c, name] {
                RunResult r = runGridtally({"--cst", name, "x.rpy"}, in(dir));
                EXPECT_EQ(r.status, c.status);
                EXPECT_EQ(r.err, c.err.empty() ? "" : "Error: " + std::string(name) + c.err);
                return r;
            };
        };
        expectCostRatio(c.what, linearRatio, run("long.cst", 10 << 20), run("line.cst", (10 << 20) / scale));
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
    writeReplay(dir, "fewer.rpy", raceReplay(30000 / scale, 0));
    expectCostRatio("30000 cars", linearRatio,
                    [&] { return runGridtally({"--force", "-o", "out.txt", "many.rpy"}, in(dir)); },
                    [&] { return runGridtally({"--force", "-o", "out.txt", "fewer.rpy"}, in(dir)); });
}

TEST(Limits, CarIdsChosenToCollideInAHashTable) {
    // A standard hash table reserved for 40,000 ints has 42,043 buckets and
    // hashes an int to itself: multiples of 42,043 all share one bucket.
    // They must cost about what as many ordinary ids cost.
    TempDir dir;
    writeReplay(dir, "plain.rpy", raceReplay(40000, 2));
    ReplaySpec r = raceReplay(40000, 2);
    for (std::size_t i = 0; i < r.drivers.size(); ++i)
        r.drivers[i].carId = r.sessions[0].cars[i].carId = static_cast<std::int32_t>(i + 1) * 42043;
    writeReplay(dir, "flood.rpy", r);
    RunResult res = runGridtally({"--no-header", "flood.rpy"}, in(dir));
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_NE(res.out.find("\n 1.   1 Test Driver               1 "), std::string::npos);
    expectCostRatio("colliding car ids", 3, [&] { return runGridtally({"flood.rpy"}, in(dir)); },
                    [&] { return runGridtally({"plain.rpy"}, in(dir)); });
}

TEST(Limits, CarsetInheritanceCannotMultiplyKeys) {
    // A base section inherited by many sections: past a million keys at
    // header 249, past 128 MiB of keys and values at header 127. Up to the
    // limit the work grows with the sections; an eighth of them costs about
    // an eighth.
    struct Case {
        std::string what;
        std::string base;   // after [Carset] and its two keys
        int heirs;          // sections inheriting the base
        int allowed;        // heirs within the limit
        int line;           // of the header that would pass the limit
    };
    std::string manyKeys = "[Base]";
    for (int i = 0; i < 4000; ++i) manyKeys += "\r\nk" + std::to_string(i) + "=v";
    const auto carset = [](const Case& c, int heirs) {
        std::string text = c.base;
        for (int i = 0; i < heirs; ++i) text += "\r\n[S" + std::to_string(i) + " : Base]";
        return carsetNamed("gem67", text);
    };
    TempDir dir;
    writeReplay(dir, "x.rpy", oneCar());
    for (const Case& c : std::vector<Case>{{"4000 keys 4000 times", manyKeys, 4000, 248, 4 + 4000 + 248},
                                           {"1 MiB 200 times", "[Base]\r\nBig=" + std::string(1 << 20, 'v'), 200,
                                            126, 5 + 126}}) {
        dir.write("big.cst", carset(c, c.heirs));
        dir.write("few.cst", carset(c, c.allowed / scale));
        const auto read = [&dir](const char* name) { return [&dir, name] { return runGridtally({"--cst", name, "x.rpy"}, in(dir)); }; };
        RunResult r = read("big.cst")();
        EXPECT_EQ(r.status, 2) << c.what;
        EXPECT_EQ(r.err, "Error: big.cst: Too many keys at line " + std::to_string(c.line) + "\n");
        expectCostRatio(c.what, linearRatio, read("big.cst"), read("few.cst"));

        // Detection passes over it.
        TempDir detect;
        writeReplay(detect, "x.rpy", oneCar());
        detect.write("cst/big.cst", carset(c, c.heirs));
        r = runGridtally({"--cst-auto", "x.rpy"}, in(detect));
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
    }
}

TEST(Limits, TwoThousandCarsAgainstACarsetOf100000Cars) {
    // Looking 2,000 cars up costs little more than looking up 20: the
    // carset is read once, not once per car.
    TempDir dir;
    std::string sections;
    for (int i = 0; i < 100000; ++i)
        sections += "[Car" + std::to_string(i) + "]\r\nTeam=T" + std::to_string(i) + "\r\n";
    dir.write("big.cst", carsetNamed("gem67", sections));
    for (const int cars : {2000, 20}) {
        ReplaySpec r = raceReplay(cars, 2);
        for (std::size_t i = 0; i < r.drivers.size(); ++i)
            r.drivers[i].carIndex = static_cast<std::uint32_t>(i + 1) * 37;
        writeReplay(dir, std::to_string(cars) + ".rpy", r);
    }
    RunResult res = runGridtally({"--cst", "big.cst", "2000.rpy"}, in(dir));
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_NE(res.out.find("\n  1 T37                           unkMake37"), std::string::npos);
    EXPECT_NE(res.out.find("\n999 T36963 "), std::string::npos);
    expectCostRatio("2000 cars", 3, [&] { return runGridtally({"--cst", "big.cst", "2000.rpy"}, in(dir)); },
                    [&] { return runGridtally({"--cst", "big.cst", "20.rpy"}, in(dir)); });
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

TEST(Limits, ArchiveRowsWaitingForTheirTurnStayFew) {
    if (const char* why = memoryUnmeasured()) GTEST_SKIP() << why;
    // A long replay first: while one thread reads it, the other reads the
    // large ones after it, whose rows (10 MB each) must wait for their turn.
    // One large replay or eight behind it: the same few wait.
    TempDir dir;
    const long baseKb = processAloneKb(dir);
    const std::string longReplay = buildReplay(raceReplay(40, 6000));
    const std::string largeReplay = buildReplay(raceReplay(40, 1000));
    dir.write("few/0.rpy", longReplay);
    dir.write("few/1.rpy", largeReplay);
    dir.write("many/0.rpy", longReplay);
    for (int i = 1; i <= scale; ++i) dir.write("many/" + std::to_string(i) + ".rpy", largeReplay);
    auto peakKb = [&](const std::string& folder) {
        const RunResult r = runGridtally({"--archive", "--laps", "-j2", "-o", folder + "-rows", folder}, in(dir));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.peakMemoryKb - baseKb;
    };
    const long few = peakKb("few"), many = peakKb("many");
    // A window of eight replays let seven wait: 1.8 times the peak.
    EXPECT_LT(many, 1.3 * few) << "1 large replay: " << few << " KB, " << scale << ": " << many << " KB";
}

TEST(Limits, ReplayOfMoreThan100MillionCrossingsIsRefusedAtOnce) {
    TempDir dir;
    writeSparseLaps(dir, "huge.rpy", 4 * 100'000'001u);
    RunResult r = runGridtally({"huge.rpy"}, in(dir));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Replay holds 100000001 lap records, more than the 100000000 gridtally reads\n");
    // It costs what a one-car replay costs: the records are never read.
    writeReplay(dir, "small.rpy", oneCar());
    expectCostRatio("refusal", 4, [&] { return runGridtally({"huge.rpy"}, in(dir)); },
                    [&] { return runGridtally({"small.rpy"}, in(dir)); });
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
