// Output files. A regular file is replaced as one step: whatever goes wrong
// while the report is written, the previous report survives and nothing is
// left over. Anything else (a device, a FIFO) is written in place, and the
// replay or carset read is never written. Also the size cap of carset files.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>
#include <string_view>
#endif

#include <algorithm>
#include <filesystem>

#include "cstbuilder.h"
#include "rpybuilder.h"
#include "testutil.h"

using namespace rpybuilder;
using testutil::RunOptions;
using testutil::runGridtally;
using testutil::TempDir;

namespace {

std::vector<std::string> entries(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override {
        replay = testutil::readFile(writeReplay(dir, "x.rpy", raceReplay(1, 2)));
        dir.write("out.txt", previous);
        opts.cwd = dir.path();
    }
    std::string report() { return runGridtally({"x.rpy"}, opts).out; }

    TempDir dir;
    RunOptions opts;
    std::string replay;
    const std::string previous = "the previous report\n";
    const std::string notice = "Writing output to file ";
};

TEST_F(OutputFile, OutputThatIsAnInputIsRefusedBeforeAsking) {
    dir.write("race.txt", replay);
    std::filesystem::create_hard_link(dir.file("x.rpy"), dir.file("hard.rpy"));
    const std::string carset = "[Carset]\nName=Mine\n";
    dir.write("my.cst", carset);
    // A replay whose carset a search finds, and a season that reads both.
    ReplaySpec found = raceReplay(1, 2);
    found.weekend.carset = "gem67";
    const std::string foundReplay = testutil::readFile(writeReplay(dir, "found.rpy", found));
    cstbuilder::CarsetSpec gem;
    gem.cardir = "gem67";
    const std::string gemCarset = cstbuilder::carsetBytes(gem);
    dir.write("cst/gem67.cst", gemCarset);
    dir.write("season.ini", "[Season]\nPoints=1\n[Round1]\nReplay=x.rpy\n[Round2]\nReplay=found.rpy\n"
                            "Carset=cst/gem67.cst\n");
    const struct {
        std::vector<std::string> args;
        std::string named;
        std::string what;
    } cases[] = {
        {{"-osame", "--force", "race.txt"}, "race.txt", "the replay"},
        {{"-o", "x.rpy", "--force", "x.rpy"}, "x.rpy", "the replay"},
        {{"-o", "hard.rpy", "x.rpy"}, "hard.rpy", "the replay"}, // no question first
        {{"-o", "my.cst", "--force", "--cst", "my.cst", "x.rpy"}, "my.cst", "the carset file"},
        {{"-o", "cst/gem67.cst", "--force", "--cst-auto", "found.rpy"}, "cst/gem67.cst", "the carset file"},
        {{"--season", "season.ini", "-o", "x.rpy"}, "x.rpy", "the replay of round 1"}, // no question first
        {{"--season", "season.ini", "-o", "cst/gem67.cst", "--force"}, "cst/gem67.cst", "the carset of round 2"},
    };
    for (const auto& c : cases) {
        auto r = runGridtally(c.args, opts);
        EXPECT_EQ(r.status, 1) << c.named;
        EXPECT_EQ(r.err, "Error: output file " + c.named + " is " + c.what + " itself\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(testutil::readFile(dir.file("race.txt")), replay);
    EXPECT_EQ(testutil::readFile(dir.file("x.rpy")), replay);
    EXPECT_EQ(testutil::readFile(dir.file("my.cst")), carset);
    EXPECT_EQ(testutil::readFile(dir.file("found.rpy")), foundReplay);
    EXPECT_EQ(testutil::readFile(dir.file("cst/gem67.cst")), gemCarset);
}

TEST_F(OutputFile, OversizedCarsetsAreRefused) {
    // Sparse: 64 MiB of zeros cost neither time nor disk.
    constexpr std::uintmax_t cap = 64u << 20;
    cstbuilder::CarsetSpec spec;
    spec.name = "Found";
    spec.cardir = "gem67";
    dir.write("cst/b.cst", cstbuilder::carsetBytes(spec));
    std::filesystem::resize_file(dir.file("cst/b.cst"), cap); // the largest allowed
    dir.write("cst/a.cst", "");
    std::filesystem::resize_file(dir.file("cst/a.cst"), cap + 1);
    std::vector<std::string> tooLarge = {"cst/a.cst"};
#ifndef _WIN32
    // A file whose size says nothing (0) and that grows while it is read.
    const std::string endless = "/proc/self/pagemap";
    if (access(endless.c_str(), R_OK) == 0) {
        ASSERT_EQ(symlink(endless.c_str(), dir.file("cst/a2.cst").c_str()), 0);
        tooLarge.push_back(endless);
    }
#endif
    for (const std::string& path : tooLarge) {
        auto r = runGridtally({"--cst", path, "x.rpy"}, opts);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "Error: " + path + ": file too large\n");
    }
    // Detection skips the oversized candidates and takes the next one.
    auto r = runGridtally({"--cst-auto", "x.rpy"}, opts);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Using carset file " + testutil::nativePath("cst/b.cst") + "\n");
}

#ifdef _WIN32
TEST_F(OutputFile, NulDeviceIsWrittenInPlace) {
    auto r = runGridtally({"--force", "-o", "NUL", "x.rpy"}, opts);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, notice + "\\\\.\\NUL\n");
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"out.txt", "x.rpy"}));
}
#else
// Windows replaces files through its own calls, with no permission bits,
// links, file-size limits or signals to provoke failures with; the platform
// tests cover it there.

mode_t typeOf(const std::string& path, bool followLinks = true) {
    struct stat st {};
    EXPECT_EQ(followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & S_IFMT;
}

TEST_F(OutputFile, FailedWriteKeepsThePreviousReport) {
    ASSERT_GT(report().size(), 256u);
    opts.fileSizeLimit = 256; // room for the messages, not for the report
    auto r = runGridtally({"--force", "-o", "out.txt", "x.rpy"}, opts);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, notice + dir.file("out.txt") + "\nError: out.txt: File too large\n");
    EXPECT_EQ(testutil::readFile(dir.file("out.txt")), previous);
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"out.txt", "x.rpy"}));
}

TEST_F(OutputFile, ProcessKilledWhileWritingLeavesNothingBehind) {
    opts.fileSizeLimit = 256;
    opts.killAtFileSizeLimit = true;
    // With an unnamed temporary file, and with a named one (no O_TMPFILE),
    // which the signal handler removes.
    for (bool named : {false, true}) {
        if (named) opts.env = {"GRIDTALLY_TEST_NO_TMPFILE=1"};
        auto r = runGridtally({"--force", "-o", "out.txt", "x.rpy"}, opts);
        EXPECT_EQ(r.status, -1) << named; // killed by SIGXFSZ
        EXPECT_EQ(testutil::readFile(dir.file("out.txt")), previous);
        EXPECT_EQ(entries(dir), (std::vector<std::string>{"out.txt", "x.rpy"})) << named;
    }
}

TEST_F(OutputFile, ReadOnlyPlacesAreClearErrors) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
    // A directory nobody may write to: the old report stays.
    chmod(dir.path().c_str(), 0755);
    chmod(dir.file("x.rpy").c_str(), 0644);
    opts.unprivileged = true;
    auto r = runGridtally({"--force", "-o", "out.txt", "x.rpy"}, opts);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, notice + dir.file("out.txt") + "\nError: out.txt: Permission denied\n");
    EXPECT_EQ(testutil::readFile(dir.file("out.txt")), previous);

    // A read-only file in a writable directory is not replaced either.
    std::string sub = dir.path() + "/w";
    ASSERT_EQ(mkdir(sub.c_str(), 0777), 0);
    chmod(sub.c_str(), 0777);
    dir.write("w/out.txt", previous);
    chmod(dir.file("w/out.txt").c_str(), 0444);
    opts.unprivileged = true;
    r = runGridtally({"--force", "-o", "w/out.txt", "x.rpy"}, opts);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, notice + dir.file("w/out.txt") + "\nError: w/out.txt: Permission denied\n");
    EXPECT_EQ(testutil::readFile(dir.file("w/out.txt")), previous);
}

TEST_F(OutputFile, ReplacingKeepsModeAndLinks) {
    const std::string expected = report();
    chmod(dir.file("out.txt").c_str(), 0640);
    ASSERT_EQ(symlink("out.txt", dir.file("link.txt").c_str()), 0);
    auto r = runGridtally({"--force", "-o", "link.txt", "x.rpy"}, opts);
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(lstat(dir.file("link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(dir.file("out.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(testutil::readFile(dir.file("out.txt")), expected);

    // A new file gets the usual permissions, not those of a private temporary.
    mode_t mask = umask(022);
    r = runGridtally({"-o", "new.txt", "x.rpy"}, opts);
    umask(mask);
    ASSERT_EQ(stat(dir.file("new.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"link.txt", "new.txt", "out.txt", "x.rpy"}));
}

TEST_F(OutputFile, DirectoryInTheWayIsAnError) {
    ASSERT_EQ(mkdir(dir.file("out.d").c_str(), 0755), 0);
    auto r = runGridtally({"--force", "-o", "out.d", "x.rpy"}, opts);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, notice + dir.file("out.d") + "\nError: out.d: Is a directory\n");
}

// Everything waiting in a descriptor that never blocks.
std::string drain(int fd) {
    std::string got;
    char buf[4096];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) got.append(buf, static_cast<std::size_t>(n));
    return got;
}

TEST_F(OutputFile, DevicesAndFifosAreWrittenInPlace) {
    const std::string expected = report();

    // Devices stay devices: one takes everything, the other has no room.
    const struct {
        const char* device;
        int status;
        std::string error;
    } devices[] = {{"/dev/null", 0, ""}, {"/dev/full", 1, "Error: /dev/full: No space left on device\n"}};
    for (const auto& d : devices) {
        if (!testutil::fileExists(d.device)) continue;
        auto r = runGridtally({"--force", "-o", d.device, "x.rpy"}, opts);
        EXPECT_EQ(r.status, d.status) << d.device;
        EXPECT_EQ(r.err, notice + d.device + "\n" + d.error);
        EXPECT_EQ(typeOf(d.device), S_IFCHR);
    }

    // A FIFO with a reader (this test, which also keeps a writer so that
    // nothing blocks) carries the report.
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    int reader = open(dir.file("fifo").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    auto r = runGridtally({"--force", "-o", "fifo", "x.rpy"}, opts);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(drain(reader), expected);
    close(reader);
    EXPECT_EQ(typeOf(dir.file("fifo")), S_IFIFO);

    // Standard output, here a pipe, named directly or through a link.
    ASSERT_EQ(symlink("/proc/self/fd/1", dir.file("out").c_str()), 0);
    for (const char* target : {"/dev/stdout", "out"}) {
        r = testutil::runProgram("/bin/sh", {"sh", "-c", "\"$0\" --force -o \"$1\" x.rpy | cat", GRIDTALLY_BIN, target},
                                 opts);
        EXPECT_EQ(r.status, 0) << target;
        EXPECT_EQ(r.out, expected) << target;
    }
    EXPECT_EQ(typeOf(dir.file("out"), false), S_IFLNK);
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"fifo", "out", "out.txt", "x.rpy"}));
}

TEST_F(OutputFile, DanglingLinkGetsItsTargetCreated) {
    const std::string expected = report();
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("sub/link2.txt", dir.file("link.txt").c_str()), 0);
    ASSERT_EQ(symlink("target.txt", dir.file("sub/link2.txt").c_str()), 0); // relative to sub
    auto r = runGridtally({"-o", "link.txt", "x.rpy"}, opts);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(typeOf(dir.file("link.txt"), false), S_IFLNK);
    EXPECT_EQ(typeOf(dir.file("sub/link2.txt"), false), S_IFLNK);
    EXPECT_EQ(testutil::readFile(dir.file("sub/target.txt")), expected);
}

TEST_F(OutputFile, ReplacedFileKeepsItsOwner) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to own files as another user";
    const std::string expected = report();
    constexpr uid_t nobody = 65534;
    const std::string path = dir.write("out.txt", "by nobody\n");
    ASSERT_EQ(chown(path.c_str(), nobody, nobody), 0);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    auto r = runGridtally({"--force", "-o", "out.txt", "x.rpy"}, opts);
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody);
    EXPECT_EQ(st.st_gid, nobody);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(testutil::readFile(path), expected);

    // Without the right to give the file away, the file is still replaced.
    ASSERT_EQ(chown(path.c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(dir.file("x.rpy").c_str(), 0644), 0);
    opts.unprivileged = true;
    r = runGridtally({"--force", "-o", "out.txt", "x.rpy"}, opts);
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
}

// Runs gridtally on dir/x.rpy into dir/out.txt with named temporary files,
// stops it while its temporary file exists and sends it sig. Returns the
// wait status, or nothing when the run got past its temporary file first.
std::optional<int> interruptWhileWriting(const TempDir& dir, int sig) {
    int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch < 0 || inotify_add_watch(watch, dir.path().c_str(), IN_CREATE) < 0) {
        ADD_FAILURE() << "inotify: " << std::strerror(errno);
        return std::nullopt;
    }
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        if (null < 0 || chdir(dir.path().c_str()) != 0) _exit(126);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        setenv("GRIDTALLY_TEST_NO_TMPFILE", "1", 1);
        signal(sig, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execl(GRIDTALLY_BIN, "gridtally", "--laps", "--force", "-o", "out.txt", "x.rpy", static_cast<char*>(nullptr));
        _exit(127);
    }
    std::optional<int> result;
    int status = 0;
    bool stopped = false;
    alignas(inotify_event) char buf[4096];
    while (!stopped && waitpid(pid, &status, WNOHANG) == 0) {
        pollfd p{watch, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        ssize_t n = read(watch, buf, sizeof buf);
        for (ssize_t at = 0; at < n && !stopped;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->len == 0 || std::string_view(e->name).substr(0, 11) != ".gridtally-") continue;
            stopped = true;
            kill(pid, SIGSTOP);
            waitpid(pid, &status, WUNTRACED);
            if (!WIFSTOPPED(status)) break; // ended before the stop
            if (testutil::fileExists(dir.file(e->name))) {
                kill(pid, sig);
                result = 0;
            }
            kill(pid, SIGCONT);
            waitpid(pid, &status, 0);
        }
    }
    close(watch);
    if (result) result = status;
    return result;
}

TEST_F(OutputFile, SignalsRemoveTheNamedTemporaryFile) {
    // A report of some megabytes keeps the temporary file there long enough
    // to be caught.
    writeReplay(dir, "x.rpy", raceReplay(20, 4000));
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        std::optional<int> status;
        for (int attempt = 0; attempt < 20 && !status; ++attempt) {
            dir.write("out.txt", previous);
            status = interruptWhileWriting(dir, sig);
        }
        ASSERT_TRUE(status) << "signal " << sig << ": never caught the run while it wrote";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == sig) << "signal " << sig << ", status " << *status;
        EXPECT_EQ(entries(dir), (std::vector<std::string>{"out.txt", "x.rpy"})) << "signal " << sig;
        EXPECT_EQ(testutil::readFile(dir.file("out.txt")), previous);
    }
}

#endif // _WIN32

} // namespace
