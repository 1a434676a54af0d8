#include "fuzzsupport.h"

#include <fcntl.h>
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "pipeline/replay_report.h"
#include "collected_diagnostics.h"
#include "platform/utf8.h"
#include "report/report.h"
#include "text/visible_text.h"

// The product maps files with mmap; the fuzz targets link with
// --wrap=mmap,--wrap=munmap so that its calls come here.
extern "C" void* __real_mmap(void* addr, std::size_t length, int prot, int flags, int fd, off_t offset);
extern "C" int __real_munmap(void* addr, std::size_t length);

namespace {

[[noreturn]] void die(const char* what) {
    std::perror(what);
    std::abort();
}

// The input file whose mappings get a poisoned tail, and the one mapping
// of it that is poisoned now.
struct Watched {
    dev_t device = 0;
    ino_t inode = 0;
    bool active = false;
    const std::uint8_t* tail = nullptr;
    std::size_t tailSize = 0;
} watched;

bool isWatchedFile(int fd) {
    struct stat st;
    return watched.active && fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == watched.device &&
           st.st_ino == watched.inode;
}

} // namespace

extern "C" void* __wrap_mmap(void* addr, std::size_t length, int prot, int flags, int fd, off_t offset) {
    void* p = __real_mmap(addr, length, prot, flags, fd, offset);
    if (p != MAP_FAILED && offset == 0 && isWatchedFile(fd) && watched.tail == nullptr) {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        watched.tail = static_cast<const std::uint8_t*>(p) + length;
        watched.tailSize = (page - length % page) % page;
        ASAN_POISON_MEMORY_REGION(watched.tail, watched.tailSize);
    }
    return p;
}

extern "C" int __wrap_munmap(void* addr, std::size_t length) {
    // The next mapping may land on the same addresses.
    if (watched.tail && watched.tail == static_cast<const std::uint8_t*>(addr) + length) {
        ASAN_UNPOISON_MEMORY_REGION(watched.tail, watched.tailSize);
        watched.tail = nullptr;
    }
    return __real_munmap(addr, length);
}

namespace fuzzsupport {

MemFile::MemFile() : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
    if (fd_ < 0) die("memfd_create");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
    struct stat st;
    if (::fstat(fd_, &st) != 0) die("fstat");
    watched = Watched{st.st_dev, st.st_ino, true};
}

MemFile::~MemFile() {
    watched.active = false;
    ::close(fd_);
}

void MemFile::assign(std::string_view bytes) {
    if (::ftruncate(fd_, 0) != 0) die("ftruncate");
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0) die("pwrite");
        done += static_cast<std::size_t>(n);
    }
}

std::string checkedReport(const std::string& replayPath, const CarsetChoice& carset, const ReportOptions& options) {
    StringSink sink;
    IgnoredDiagnostics warnings; // expected on hostile input, and only slow
    writeReplayReport(replayPath, carset, options, sink, warnings);
    // A read replay always has an event: every report has some text.
    if (sink.text().empty()) std::abort();
    checkUtf8(sink.text());
    if (options.format == ReportFormat::TEXT || options.format == ReportFormat::SEMIKV)
        checkNoControlCharacters(sink.text());
    return sink.text();
}

std::string makeScratchDirectory() {
    // In memory where the system offers it: the targets rewrite files all the time.
    static char shm[] = "/dev/shm/gridtally-fuzz-XXXXXX";
    static char tmp[] = "/tmp/gridtally-fuzz-XXXXXX";
    static char* scratch = ::mkdtemp(shm) ? shm : tmp;
    if (scratch == tmp && !::mkdtemp(tmp)) die("mkdtemp");
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(scratch, ignored);
    });
    return scratch;
}

InDirectory::InDirectory(const std::string& path) : previous_(::open(".", O_RDONLY | O_CLOEXEC)) {
    if (previous_ < 0 || ::chdir(path.c_str()) != 0) die("chdir");
}

InDirectory::~InDirectory() {
    if (::fchdir(previous_) != 0) die("fchdir");
    ::close(previous_);
}

void checkUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t at = pos;
        // U+FFFD either stands for itself (EF BF BD) or marks an ill-formed byte.
        if (unicode::decodeUtf8(text, pos) == U'\uFFFD' && text.substr(at, 3) != "\xEF\xBF\xBD") {
            std::fprintf(stderr, "ill-formed UTF-8 at byte %zu of the report\n", at);
            std::abort();
        }
    }
}

void checkNoControlCharacters(std::string_view text) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        if (hasControlCharacters(text.substr(start, end - start))) {
            std::fprintf(stderr, "control character in the line at byte %zu of the report\n", start);
            std::abort();
        }
        start = end + 1;
    }
}

void checkMessage(const char* what) {
    if (!what || !*what) {
        std::fprintf(stderr, "failure without a message\n");
        std::abort();
    }
}

} // namespace fuzzsupport
