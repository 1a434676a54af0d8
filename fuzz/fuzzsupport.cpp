#include "fuzzsupport.h"

#include <fcntl.h>
#include <sanitizer/asan_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "globals.h"
#include "unicode.h"

namespace fuzzsupport {

namespace {

[[noreturn]] void die(const char* what) {
    std::perror(what);
    std::abort();
}

std::FILE* devNull(const char* mode) {
    static std::FILE* in = std::fopen("/dev/null", "r");
    static std::FILE* out = std::fopen("/dev/null", "w");
    std::FILE* f = mode[0] == 'r' ? in : out;
    if (!f) die("/dev/null");
    return f;
}

} // namespace

MemFile::MemFile() : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
    if (fd_ < 0) die("memfd_create");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemFile::~MemFile() { ::close(fd_); }

void MemFile::assign(std::string_view bytes) {
    if (::ftruncate(fd_, 0) != 0) die("ftruncate");
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0) die("pwrite");
        done += static_cast<std::size_t>(n);
    }
}

PoisonedTail::PoisonedTail(const std::uint8_t* data, std::size_t size) {
    if (!data) return;
    if (size == 0) {
        // An empty file is no mapping but a one-byte stand-in: nothing may read it.
        begin_ = data;
        size_ = 1;
        ASAN_POISON_MEMORY_REGION(begin_, size_);
        return;
    }
    const auto end = reinterpret_cast<std::uintptr_t>(data + size);
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    begin_ = data + size;
    size_ = (page - end % page) % page;
    ASAN_POISON_MEMORY_REGION(begin_, size_);
}

PoisonedTail::~PoisonedTail() {
    // The next mapping may land on the same addresses.
    if (size_) ASAN_UNPOISON_MEMORY_REGION(begin_, size_);
}

void quietReset() { resetGlobals(devNull("r"), devNull("w"), devNull("w")); }

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

void checkMessage(const char* what) {
    if (!what || !*what) {
        std::fprintf(stderr, "failure without a message\n");
        std::abort();
    }
}

} // namespace fuzzsupport
