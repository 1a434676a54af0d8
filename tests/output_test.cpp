// The output file is replaced as one step: whatever goes wrong while the
// report is written, the previous report survives and nothing is left over.
#include <gtest/gtest.h>

// Windows replaces files through its own calls, with no permission bits,
// links or file-size limits to provoke failures with; the platform tests
// cover it there.
#ifndef _WIN32

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

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
        writeReplay(dir, "x.rpy", raceReplay(1, 2));
        dir.write("out.txt", previous);
        opts.cwd = dir.path();
    }
    std::string report() { return runGridtally({"x.rpy"}, opts).out; }

    TempDir dir;
    RunOptions opts;
    const std::string previous = "the previous report\n";
    const std::string notice = "Writing output to file ";
};

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
    auto r = runGridtally({"--force", "-o", "out.txt", "x.rpy"}, opts);
    EXPECT_EQ(r.status, -1); // killed by SIGXFSZ
    EXPECT_EQ(testutil::readFile(dir.file("out.txt")), previous);
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"out.txt", "x.rpy"}));
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

} // namespace

#endif // _WIN32
