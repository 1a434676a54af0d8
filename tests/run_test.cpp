// Whole runs of the binary on replays and carsets made by the builders:
// replay errors and warnings, carset options, output files.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "platform/platform.h"

#include "cstbuilder.h"
#include "rpybuilder.h"
#include "testutil.h"

using namespace rpybuilder;
using testutil::RunOptions;
using testutil::runGridtally;
using testutil::TempDir;

namespace {

RunOptions in(const TempDir& dir) {
    RunOptions o;
    o.cwd = dir.path();
    return o;
}

// The bytes of a report file: text mode stores each "\n" as "\r\n" on Windows.
std::string textFile(const std::string& text) {
#ifdef _WIN32
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
#else
    return text;
#endif
}

ReplaySpec smallReplay() {
    ReplaySpec r;
    r.weekend.carset = "gem67";
    DriverSpec d;
    d.carId = 1;
    d.driverId = 11;
    d.number = 3;
    d.tag = tagBytes(82, 3, 1);
    r.drivers = {d};
    CarSpec c;
    c.carId = 1;
    c.laps = {lapWord(5000), lapWord(95000)};
    SessionSpec s;
    s.cars = {c};
    r.sessions = {s};
    return r;
}

void expectError(const TempDir& dir, const std::string& bytes, const std::string& message) {
    dir.write("x.rpy", bytes);
    auto r = runGridtally({"x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 1) << message;
    EXPECT_EQ(r.err, "Error: " + message + "\n");
    EXPECT_EQ(r.out, "");
}

} // namespace

TEST(Run, ReplayFormatErrorsEndWithStatus1) {
    TempDir dir;
    expectError(dir, "", "Unknown file format reading file x.rpy");
    expectError(dir, "YLPR\x02\0\0\0\0\0\0", "Unknown file format reading file x.rpy");
    expectError(dir, std::string("RPLY\x02\0\0\0\0\0\0\0", 12), "Unknown file header 'RPLY' reading file x.rpy");
    expectError(dir, std::string("YL\0R\x02\0\0\0\0\0\0\0", 12), "Unknown file header 'YL\\x00R' reading file x.rpy");
    expectError(dir, std::string("YLPR\x02\0\0\0\x05\0\0\0\0\0\0\0\0", 17),
                "Bad file length (8 != 17) reading file x.rpy");

    ReplaySpec n2k3 = smallReplay();
    n2k3.root.version = 5;
    expectError(dir, buildReplay(n2k3), "Unsupported rpy version (5 - N2K3)");
    ReplaySpec unknown = smallReplay();
    unknown.root.version = 0x0101;
    expectError(dir, buildReplay(unknown), "Unsupported rpy version (257 - UNK)");

    ReplaySpec badLabel = smallReplay();
    badLabel.header.chunk.label = "DHPX";
    expectError(dir, buildReplay(badLabel),
                "Error reading file x.rpy: chunk label 'DHPX' does not match requested label 'DHPR'");

    ReplaySpec shortWeekend = smallReplay();
    shortWeekend.weekend.chunk.dataBytes = 180;
    expectError(dir, buildReplay(shortWeekend),
                "Chunk FNKW size and destination type size are not equal (180 != 184)");

    ReplaySpec badType = smallReplay();
    badType.weekend.sessions = {WeekendSession(5, 10, 604800.0)};
    expectError(dir, buildReplay(badType), "Unknown session type: cast(SessT)5");

    ReplaySpec badIndex = smallReplay();
    badIndex.header.firstSession = 7;
    expectError(dir, buildReplay(badIndex), "Invalid session index 7");

    ReplaySpec noEntry = smallReplay();
    noEntry.sessions[0].cars[0].carId = 9;
    expectError(dir, buildReplay(noEntry), "No entry for car id 9");

    ReplaySpec badNumber = smallReplay();
    badNumber.drivers[0].number = -5;
    expectError(dir, buildReplay(badNumber), "Conversion positive overflow");
}

TEST(Run, NonAsciiMessagesReachStandardErrorIntact) {
    TempDir dir;
    dir.write("caf\xC3\xA9/x.rpy", "tiny");
    auto r = runGridtally({"caf\xC3\xA9/x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Unknown file format reading file caf\xC3\xA9/x.rpy\n");
}

TEST(Run, UnreadableReplayIsAnErrorNotACrash) {
    TempDir dir;
    std::string p = dir.write("x.rpy", buildReplay(smallReplay()));
#ifdef _WIN32
    // Another handle holds the file without sharing it.
    HANDLE held = ::CreateFileA(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ::SetLastError(ERROR_SHARING_VIOLATION);
    const std::string expected = "Error: x.rpy: " + platform::lastErrorText() + "\n";
    auto r = runGridtally({"x.rpy"}, in(dir));
    ::CloseHandle(held);
#else
    chmod(dir.path().c_str(), 0755);
    chmod(p.c_str(), 0);
    RunOptions o = in(dir);
    o.unprivileged = true;
    const std::string expected = "Error: x.rpy: Permission denied\n";
    auto r = runGridtally({"x.rpy"}, o);
#endif
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, expected);
}

TEST(Run, WarningsLetTheRunGoOn) {
    TempDir dir;
    ReplaySpec r = smallReplay();
    r.header.lastSession = 3; // one session recorded, four announced
    r.drivers[0].tag = tagBytes(84, 3, 1);
    writeReplay(dir, "x.rpy", r);
    auto res = runGridtally({"x.rpy"}, in(dir));
    EXPECT_EQ(res.status, 0);
    EXPECT_EQ(res.err,
              "Warning: (rpylib:601) Inconsistent session data.\n"
              "Warning: entry #3 year 1969 doesn't match carset year 1967\n");
}

TEST(Run, BadCarsetFileEndsWithStatus2) {
    TempDir dir;
    writeReplay(dir, "x.rpy", smallReplay());
    dir.write("bad.cst", "[Carset]\r\nName=x\r\n\r\nthis line has no equals\r\n");
    auto r = runGridtally({"--cst", "bad.cst", "x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Error: bad.cst: Syntax error at line 3\n");
    EXPECT_EQ(r.out, "");

    dir.write("base.cst", "[Car1 : Car0x]\nTeam=a\n");
    r = runGridtally({"--cst", "base.cst", "x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Error: base.cst: Section 'Car0x' does not exists\n");
}

TEST(Run, CarsetDetectionOnlyWithoutAGivenCarset) {
    TempDir dir;
    writeReplay(dir, "x.rpy", smallReplay());
    cstbuilder::CarsetSpec match;
    match.name = "Found";
    match.cardir = "GEM67";
    dir.write("cst/found.cst", cstbuilder::carsetBytes(match));
    cstbuilder::CarsetSpec given;
    given.name = "Given";
    dir.write("given.cst", cstbuilder::carsetBytes(given));

#ifdef _WIN32
    const std::string found = "Using carset file cst\\found.cst\n";
#else
    const std::string found = "Using carset file cst/found.cst\n";
#endif
    auto r = runGridtally({"--cst-auto", "x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, found);

    r = runGridtally({"--cst", "given.cst", "--cst-auto", "x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    // A given file without sections counts as no carset: detection runs.
    dir.write("empty.cst", "; nothing here\r\n");
    r = runGridtally({"--cst", "empty.cst", "--cst-auto", "x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, found);
}

TEST(Run, ConsoleConversionOfMessages) {
    TempDir dir;
    dir.write("caf\xC3\xA9/x.rpy", "tiny");
    RunOptions c = in(dir);
#ifdef _WIN32
    // The console code page is the system's; the child shares ours.
    const std::string converted = "caf" + platform::encodeCodePage("\u00e9", platform::consoleOutputCodePage());
#else
    c.env = {"LC_ALL=C"};
    const std::string converted = "caf?"; // the locale's ASCII lacks é
#endif
    // Redirected, automatic: the UTF-8 bytes go out unchanged.
    auto r = runGridtally({"caf\xC3\xA9/x.rpy"}, c);
    EXPECT_EQ(r.err, "Error: Unknown file format reading file caf\xC3\xA9/x.rpy\n");
    // Forced: converted to the console's code page.
    r = runGridtally({"--convert=yes", "caf\xC3\xA9/x.rpy"}, c);
    EXPECT_EQ(r.err, "Error: Unknown file format reading file " + converted + "/x.rpy\n");
    // The last --convert wins.
    r = runGridtally({"--convert=yes", "--no-std-conv", "caf\xC3\xA9/x.rpy"}, c);
    EXPECT_EQ(r.err, "Error: Unknown file format reading file caf\xC3\xA9/x.rpy\n");
    r = runGridtally({"--convert=no", "--convert=yes", "caf\xC3\xA9/x.rpy"}, c);
    EXPECT_EQ(r.err, "Error: Unknown file format reading file " + converted + "/x.rpy\n");
    EXPECT_EQ(r.status, 1);
}

TEST(Run, ReportToAFile) {
    TempDir dir;
    ReplaySpec r = smallReplay();
    r.drivers[0].firstName = "Andr\xE9";
    writeReplay(dir, "x.rpy", r);
    auto console = runGridtally({"x.rpy"}, in(dir));
    ASSERT_EQ(console.status, 0);
    ASSERT_NE(console.out.find("Andr\xC3\xA9"), std::string::npos);

    // -o with a relative path: the notice shows it made absolute.
    auto res = runGridtally({"-o", "sub/../out.txt", "x.rpy"}, [&] {
        dir.write("sub/keep", "");
        return in(dir);
    }());
    EXPECT_EQ(res.status, 0);
    EXPECT_EQ(res.out, "");
#ifdef _WIN32
    EXPECT_EQ(res.err, "Writing output to file " + dir.path() + "\\out.txt\n"); // the system resolves ..
#else
    EXPECT_EQ(res.err, "Writing output to file " + dir.path() + "/sub/../out.txt\n");
#endif
    EXPECT_EQ(testutil::readFile(dir.file("out.txt")), textFile(console.out));

    // An absolute path is shown as given; -osame names the file after the replay.
    res = runGridtally({"-osame", "--force", dir.file("x.rpy")}, in(dir));
    EXPECT_EQ(res.err, "Writing output to file " + dir.file("x.txt") + "\n");
    EXPECT_EQ(testutil::readFile(dir.file("x.txt")), textFile(console.out));

    // Answering y overwrites; --force does without asking.
    dir.write("old.txt", "old");
    RunOptions yes = in(dir);
    yes.stdinText = "yes\n";
    res = runGridtally({"-o", "old.txt", "x.rpy"}, yes);
    EXPECT_EQ(res.status, 0);
    EXPECT_EQ(res.err, "Output file old.txt already exists. Overwrite ? (Y/N): Writing output to file " +
                           dir.file("old.txt") + "\n");
    EXPECT_EQ(testutil::readFile(dir.file("old.txt")), textFile(console.out));
    dir.write("old.txt", "old");
    res = runGridtally({"--force", "-o", "old.txt", "--format=semikv", "x.rpy"}, in(dir));
    EXPECT_EQ(res.status, 0);
    std::string semikv = testutil::readFile(dir.file("old.txt"));
    EXPECT_TRUE(semikv.starts_with(textFile("semikv_start;semikv_version=1;gridtally_version=v0.6.4;\n\n")));
}

TEST(Run, FailedRunLeavesTheOutputFileAlone) {
    TempDir dir;
    dir.write("bad.rpy", "YLPR");
    dir.write("out.txt", "precious");
    auto r = runGridtally({"--force", "-o", "out.txt", "bad.rpy"}, in(dir));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Unknown file format reading file bad.rpy\n");
    EXPECT_EQ(testutil::readFile(dir.file("out.txt")), "precious");

    // An output file that cannot be created is an error too.
    writeReplay(dir, "x.rpy", smallReplay());
    r = runGridtally({"-o", "no/such/dir/out.txt", "x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 1);
#ifdef _WIN32
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(r.err, "Writing output to file " + dir.file("no\\such\\dir\\out.txt") + "\n" +
                         "Error: no/such/dir/out.txt: " + platform::lastErrorText() + "\n");
#else
    EXPECT_EQ(r.err, "Writing output to file " + dir.path() + "/no/such/dir/out.txt\n"
                     "Error: no/such/dir/out.txt: No such file or directory\n");
#endif
}

// Paths as the system writes them: replay, carset and the -osame output in
// subdirectories, named with the system's separator.
TEST(Run, NativePathsEndToEnd) {
    TempDir dir;
    ReplaySpec spec = smallReplay();
    spec.weekend.carset = "gem67";
    cstbuilder::CarsetSpec given;
    given.name = "Given";
    for (unsigned car = 0; car < 7; ++car) given.cars.push_back({car, "Team From File", std::nullopt, std::nullopt});
    dir.write("cars/given.cst", cstbuilder::carsetBytes(given));
    dir.write("replays/keep", "");
    writeReplay(dir, "replays/monza.rpy", spec);
    const std::string replay = testutil::nativePath("replays/monza.rpy");
    const std::string carset = testutil::nativePath("cars/given.cst");

    auto r = runGridtally({"--cst", carset, "-osame", replay}, in(dir));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Writing output to file " + dir.file(testutil::nativePath("replays/monza.txt")) + "\n");
    const std::string report = testutil::readFile(dir.file("replays/monza.txt"));
    EXPECT_NE(report.find(textFile("Carset Info\nname      : Given\n")), std::string::npos);
    EXPECT_NE(report.find("Team From File"), std::string::npos);
    EXPECT_EQ(report, textFile(runGridtally({"--cst", carset, replay}, in(dir)).out));

    // A carset detected in the working directory is named relative to it.
    cstbuilder::CarsetSpec detected;
    detected.name = "Detected";
    detected.cardir = "gem67";
    dir.write("auto.cst", cstbuilder::carsetBytes(detected));
    r = runGridtally({"--cst-auto", replay}, in(dir));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Using carset file " + testutil::nativePath("./auto.cst") + "\n");
    EXPECT_NE(r.out.find("Carset Info\nname      : Detected\n"), std::string::npos);

    // Missing files are named as given.
    r = runGridtally({"--cst", testutil::nativePath("cars/none.cst"), replay}, in(dir));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Error: cannot read " + testutil::nativePath("cars/none.cst") + ": no such file\n");
}

TEST(Run, ReportLostOnStandardOutputIsAnError) {
#ifdef _WIN32
    GTEST_SKIP() << "needs /dev/full and a POSIX shell";
#endif
    if (!testutil::fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    writeReplay(dir, "x.rpy", smallReplay());
    auto r = testutil::runProgram("/bin/sh", {"sh", "-c", "exec \"$0\" x.rpy >/dev/full", GRIDTALLY_BIN}, in(dir));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: Write to standard output failed: No space left on device\n");
}

TEST(Run, LastFormatWins) {
    TempDir dir;
    writeReplay(dir, "x.rpy", smallReplay());
    auto txt = runGridtally({"--format=semikv", "--format=txt", "x.rpy"}, in(dir));
    auto plain = runGridtally({"x.rpy"}, in(dir));
    auto semikv = runGridtally({"--format=txt", "--format=semikv", "x.rpy"}, in(dir));
    EXPECT_EQ(txt.out, plain.out);
    EXPECT_TRUE(plain.out.starts_with("Replay Info\n"));
    EXPECT_TRUE(semikv.out.starts_with("semikv_start;"));
    EXPECT_TRUE(semikv.out.ends_with("semikv_end;\n"));
}

#ifndef _WIN32 // FIFOs and permission bits are POSIX features
TEST(Run, FifosAreRefusedInsteadOfBlockingTheRun) {
    TempDir dir;
    writeReplay(dir, "x.rpy", smallReplay());
    ASSERT_EQ(mkfifo(dir.file("pipe.rpy").c_str(), 0600), 0);
    dir.write("cst/keep", "");
    ASSERT_EQ(mkfifo(dir.file("cst/a.cst").c_str(), 0600), 0);
    cstbuilder::CarsetSpec match;
    match.name = "Found";
    match.cardir = "gem67";
    dir.write("cst/b.cst", cstbuilder::carsetBytes(match));

    auto r = runGridtally({"pipe.rpy"}, in(dir));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: pipe.rpy: not a regular file\n");

    // A FIFO among the carset candidates is skipped like any unreadable one.
    r = runGridtally({"--cst-auto", "x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Using carset file cst/b.cst\n");

    r = runGridtally({"--cst", "cst/a.cst", "x.rpy"}, in(dir));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Error: cst/a.cst: not a regular file\n");

    r = runGridtally({"--season", "cst/a.cst"}, in(dir));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Error: cst/a.cst: not a regular file\n");
}

TEST(Run, UnlistableCarsetDirectoryEndsTheRun) {
    TempDir dir;
    writeReplay(dir, "x.rpy", smallReplay());
    dir.write("cst/a.cst", "");
    chmod(dir.path().c_str(), 0755);
    chmod(dir.file("x.rpy").c_str(), 0644);
    chmod(dir.file("cst").c_str(), 0);
    RunOptions o = in(dir);
    o.unprivileged = true;
    auto r = runGridtally({"--cst-auto", "x.rpy"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cst: Permission denied\n");
    EXPECT_EQ(r.out, "");
}
#endif
