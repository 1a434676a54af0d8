// A run reads a replay's records and nothing of the data after them (often
// megabytes): the page cache, emptied of the file before each run, holds no
// page past the records afterwards.
#ifdef __linux__

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "rpybuilder.h"
#include "testutil.h"

namespace {

// A directory beside the binary: the build directory is on a disk, where
// the system's temporary directory may live in memory.
class DiskDir {
public:
    DiskDir() {
        std::string templ = std::filesystem::path(GRIDTALLY_BIN).parent_path() / "page-cache-XXXXXX";
        if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
        path_ = templ;
    }
    ~DiskDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    DiskDir(const DiskDir&) = delete;
    DiskDir& operator=(const DiskDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Drops the file's pages from the page cache; false when some stay.
bool evict(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool done = ::fsync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    const std::vector<bool> pages = testutil::residentPages(path);
    return done && !pages.empty() && std::find(pages.begin(), pages.end(), true) == pages.end();
}

TEST(PageCache, RunsReadNothingPastTheRecords) {
    DiskDir dir;
    struct statfs fs;
    ASSERT_EQ(::statfs(dir.path().c_str(), &fs), 0);
    if (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC)
        GTEST_SKIP() << dir.path() << " lives in memory: there is no page cache to keep the replay out of";

    rpybuilder::ReplaySpec spec = rpybuilder::raceReplay(20, 40);
    const std::size_t recordsEnd = rpybuilder::buildReplay(spec).size();
    spec.trailing = std::string(std::size_t(8) << 20, 'x');
    const std::string path = rpybuilder::writeReplay(dir.path() + "/r.rpy", spec);
    // The reader looks at the 12 bytes after the last session to see that
    // the sessions end there.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t firstUnread = (recordsEnd + 12 + page - 1) / page;

    const std::vector<std::vector<std::string>> runs = {
        {}, {"--format=semikv"}, {"--format=json"}, {"--format=csv"}, {"--format=html"}, {"--laps"}};
    for (const std::vector<std::string>& options : runs) {
        const std::string name = options.empty() ? "text" : options.front();
        if (!evict(path)) GTEST_SKIP() << "the system keeps " << path << " in the page cache after POSIX_FADV_DONTNEED";
        std::vector<std::string> args = {path};
        args.insert(args.end(), options.begin(), options.end());
        const testutil::RunResult r = testutil::runGridtally(args);
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;

        const std::vector<bool> pages = testutil::residentPages(path);
        if (pages.empty() || !pages.front()) GTEST_SKIP() << "mincore does not show the pages the run read";
        std::size_t extra = 0;
        for (std::size_t i = firstUnread; i < pages.size(); ++i) extra += pages[i];
        EXPECT_EQ(extra, 0u) << name << ": pages past the records resident, of " << pages.size() - firstUnread;
    }
}

} // namespace

#endif
