#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/utf8.h"


namespace platform {

namespace {

std::string pathError(const std::string& path) { return path + ": " + lastErrorText(); }

// Closes a descriptor on every way out of a function.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now and reports whether the close succeeded (errno is kept).
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// A byte that stands for itself when its page does not define it.
bool isUndefined(const detail::SingleBytePage& page, unsigned index) {
    return (page.undefinedBits[index / 8] >> (index % 8)) & 1u;
}

const detail::SingleBytePage& pageOrThrow(unsigned codePage) {
    if (codePage == 0) codePage = 1252; // the ANSI code page of this system
    const detail::SingleBytePage* page = detail::findSingleBytePage(codePage);
    if (!page) throw ConversionError(std::strerror(EINVAL));
    return *page;
}

constexpr unsigned utf8CodePage = 65001;

std::string recodeUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) unicode::appendUtf8(out, unicode::decodeUtf8(utf8, pos));
    return out;
}

} // namespace

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// Throws the OpenError for a failed open, which errno describes: stat tells
// whether the path can be examined at all (then the message is its own) and
// whether it is a folder.
[[noreturn]] void throwOpenError(const std::string& path) {
    const int openErrno = errno;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) throw OpenError(pathError(path), OpenError::Cause::UNEXAMINABLE);
    errno = openErrno;
    throw OpenError(pathError(path), S_ISDIR(st.st_mode) ? OpenError::Cause::DIRECTORY : OpenError::Cause::UNREADABLE);
}

// Opens a file for reading only when it is a regular file: a FIFO or a
// device named like a replay or carset would block or never end. O_NONBLOCK
// keeps the open itself from waiting for a FIFO's writer. Throws OpenError.
int openRegularFile(const std::string& path, struct stat& st) {
    int raw;
    do {
        raw = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (raw < 0 && errno == EINTR);
    if (raw < 0) throwOpenError(path);
    Fd fd(raw);
    if (::fstat(fd.get(), &st) != 0) throw OpenError(pathError(path), OpenError::Cause::UNREADABLE);
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        throw OpenError(pathError(path), OpenError::Cause::DIRECTORY);
    }
    if (!S_ISREG(st.st_mode)) throw OpenError(path + ": not a regular file", OpenError::Cause::UNREADABLE);
    return fd.release();
}

} // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
    struct stat st;
    handle_ = openRegularFile(path, st);
    size_ = static_cast<std::uint64_t>(st.st_size);
    // Without read-ahead, the megabytes after a replay's records stay out
    // of the page cache. A failure just leaves the default.
    ::posix_fadvise(static_cast<int>(handle_), 0, 0, POSIX_FADV_RANDOM);
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : path_(std::move(other.path_)), size_(other.size_), handle_(other.handle_) {
    other.handle_ = -1;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

void ReadOnlyFile::readAt(std::uint64_t offset, std::uint8_t* dest, std::size_t n) const {
    while (n > 0) {
        const ssize_t got = ::pread(static_cast<int>(handle_), dest, n, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw FileError(pathError(path_));
        }
        if (got == 0) throw FileError(path_ + ": unexpected end of file");
        dest += got;
        offset += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
}

FileMapping::FileMapping(const ReadOnlyFile& file) {
    if (file.size() > SIZE_MAX) {
        errno = EFBIG;
        throw FileError(pathError(file.path()));
    }
    size_ = file.size();
    if (size_ == 0) {
        // mmap refuses a length of 0; an empty file still gets a valid pointer.
        static const std::uint8_t empty[1] = {0};
        data_ = empty;
        return;
    }
    void* p = ::mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ, MAP_PRIVATE, static_cast<int>(file.handle_), 0);
    if (p == MAP_FAILED) throw FileError(pathError(file.path()));
    // Replays keep their records in front of megabytes of other data, which
    // the system's read-around would bring into memory with the first page.
    // Only the pages touched are read; a failure just leaves the default.
    ::madvise(p, static_cast<std::size_t>(size_), MADV_RANDOM);
    mapped_ = p;
    data_ = static_cast<const std::uint8_t*>(p);
}

FileMapping::~FileMapping() {
    if (mapped_) ::munmap(mapped_, static_cast<std::size_t>(size_));
}

void willRead(const void* data, std::size_t size) {
    if (size == 0) return;
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto from = reinterpret_cast<std::uintptr_t>(data) / page * page;
    const auto to = reinterpret_cast<std::uintptr_t>(data) + size;
    ::madvise(reinterpret_cast<void*>(from), to - from, MADV_WILLNEED);
}

std::string readFile(const std::string& path, std::uint64_t maxBytes) {
    struct stat st;
    Fd fd(openRegularFile(path, st));
    const auto tooLarge = [&](std::uint64_t size) { return size > maxBytes; };
    if (tooLarge(static_cast<std::uint64_t>(st.st_size))) throw FileError(path + ": file too large");
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(pathError(path));
        }
        if (n == 0) break;
        if (tooLarge(out.size() + static_cast<std::size_t>(n))) throw FileError(path + ": file too large");
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

namespace {

void writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(lastErrorText());
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string directoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file that replacing path must change: symbolic links are followed,
// also to a file that does not exist yet, so a link stays a link and the
// file it names gets the new bytes.
std::string replacementTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        if (hops == 40) { // the system's own limit is of this order
            errno = ELOOP;
            throw FileError(lastErrorText());
        }
        // st_size may understate the length (links of /proc say 0).
        std::string link(static_cast<std::size_t>(st.st_size) + 256, '\0');
        ssize_t n;
        while ((n = ::readlink(current.c_str(), link.data(), link.size())) == static_cast<ssize_t>(link.size()))
            link.resize(link.size() * 2);
        if (n < 0) throw FileError(lastErrorText());
        link.resize(static_cast<std::size_t>(n));
        current = !link.empty() && link.front() == '/' ? link : directoryOf(current) + "/" + link;
    }
}

// A new file gets the permissions an ordinary create would give it. A
// replaced one keeps its own, and its owner and group as far as this process
// may set them (as editors do; only root may give a file away).
void matchReplaced(int fd, const std::string& target) {
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) {
        mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0) throw FileError(lastErrorText());
        return;
    }
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        if (errno != EPERM) throw FileError(lastErrorText());
        if (::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0 && errno != EPERM)
            throw FileError(lastErrorText());
    }
    // After the owner: changing it may clear the set-id bits.
    if (::fchmod(fd, st.st_mode & 07777) != 0) throw FileError(lastErrorText());
}

// Named temporary files that a terminating signal must not leave behind.
// The handler may only use what is async-signal-safe, so each path is
// prepared here beforehand; slots change only while those signals are
// blocked, so the handler never sees half of one.
constexpr int cleanupSignals[] = {SIGHUP, SIGINT, SIGTERM, SIGXFSZ};
constexpr std::size_t cleanupSignalCount = sizeof cleanupSignals / sizeof cleanupSignals[0];

struct PendingRemoval {
    volatile std::sig_atomic_t used = 0;
    char path[PATH_MAX] = {};
};
PendingRemoval pendingRemovals[4];
int pendingCount = 0;
struct sigaction previousActions[cleanupSignalCount];
bool handlerInstalled[cleanupSignalCount] = {};

void removePendingAndReraise(int sig) {
    for (const PendingRemoval& p : pendingRemovals)
        if (p.used) ::unlink(p.path);
    // SA_RESETHAND has restored the default action; let it end the process
    // with the signal's usual status.
    sigset_t self;
    ::sigemptyset(&self);
    ::sigaddset(&self, sig);
    ::sigprocmask(SIG_UNBLOCK, &self, nullptr);
    ::raise(sig);
}

sigset_t cleanupSignalSet() {
    sigset_t set;
    ::sigemptyset(&set);
    for (int sig : cleanupSignals) ::sigaddset(&set, sig);
    return set;
}

// Holds the cleanup signals back while it lives.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set = cleanupSignalSet();
        ::sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t old_;
};

// Call with the signals held. Signals the process ignores (nohup, a
// background job) stay ignored. Returns the slot, or -1 when there is none
// (the name is then cleaned up only by the normal ways out).
int keepForRemoval(const std::string& name) {
    PendingRemoval* slot = nullptr;
    for (PendingRemoval& p : pendingRemovals) {
        if (!p.used) {
            slot = &p;
            break;
        }
    }
    if (!slot || name.size() >= sizeof slot->path) return -1;
    if (pendingCount++ == 0) {
        struct sigaction action {};
        action.sa_handler = removePendingAndReraise;
        action.sa_mask = cleanupSignalSet();
        // SA_RESETHAND is 0x80000000 on Linux, an unsigned constant for an int field.
        action.sa_flags = static_cast<int>(SA_RESETHAND);
        for (std::size_t i = 0; i < cleanupSignalCount; ++i) {
            ::sigaction(cleanupSignals[i], nullptr, &previousActions[i]);
            handlerInstalled[i] = previousActions[i].sa_handler != SIG_IGN;
            if (handlerInstalled[i]) ::sigaction(cleanupSignals[i], &action, nullptr);
        }
    }
    std::memcpy(slot->path, name.c_str(), name.size() + 1);
    slot->used = 1;
    return static_cast<int>(slot - pendingRemovals);
}

// Call with the signals held.
void forgetRemoval(int slot) {
    if (slot < 0) return;
    pendingRemovals[slot].used = 0;
    if (--pendingCount == 0) {
        for (std::size_t i = 0; i < cleanupSignalCount; ++i)
            if (handlerInstalled[i]) ::sigaction(cleanupSignals[i], &previousActions[i], nullptr);
    }
}

// Test hook: with GRIDTALLY_TEST_NO_TMPFILE set, the unnamed temporary file
// is not tried, as on a file system without O_TMPFILE. Harmless elsewhere:
// the named file is the ordinary fallback.
bool unnamedTempAllowed() { return std::getenv("GRIDTALLY_TEST_NO_TMPFILE") == nullptr; }

// The temporary file. Where the system allows, it has no name until it is
// complete, so even a killed process leaves nothing behind.
class TempFile {
public:
    explicit TempFile(const std::string& dir) : dir_(dir) {
#ifdef O_TMPFILE
        if (unnamedTempAllowed()) {
            fd_ = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd_ >= 0) return;
        }
#endif
        std::string name = dir + "/.gridtally-XXXXXX";
        SignalsHeld held;
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0) throw FileError(lastErrorText());
        name_ = name;
        slot_ = keepForRemoval(name_);
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!name_.empty()) {
            SignalsHeld held;
            ::unlink(name_.c_str());
            forgetRemoval(slot_);
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }

    // Closes the file and renames it over target; afterwards nothing is
    // left to clean up.
    void commit(const std::string& target) {
        if (name_.empty()) giveName();
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) throw FileError(lastErrorText());
        SignalsHeld held;
        if (::rename(name_.c_str(), target.c_str()) != 0) throw FileError(lastErrorText());
        name_.clear();
        forgetRemoval(slot_);
    }

private:
    // Links the unnamed file into its directory under a fresh name.
    void giveName() {
        std::string proc = "/proc/self/fd/" + std::to_string(fd_);
        for (unsigned attempt = 0;; ++attempt) {
            std::string candidate = dir_ + "/.gridtally-" + std::to_string(::getpid()) + "-" +
                                    std::to_string(attempt);
            SignalsHeld held;
            if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                name_ = candidate;
                slot_ = keepForRemoval(name_);
                return;
            }
            if (errno != EEXIST || attempt >= 100) throw FileError(lastErrorText());
        }
    }

    std::string dir_;
    std::string name_;
    int fd_ = -1;
    int slot_ = -1;
};

} // namespace

struct OutputFile::State {
    std::string path; // as given, for messages
    std::string target;
    std::unique_ptr<TempFile> temp; // none when written in place
    int fd = -1;                    // in place
    bool committed = false;

    ~State() {
        if (fd >= 0) ::close(fd);
    }
    int out() const { return temp ? temp->fd() : fd; }
};

OutputFile::OutputFile(const std::string& path, bool) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.path = path;
    try {
        struct stat st;
        // A device, FIFO or socket cannot be replaced, only written to, as a
        // shell's ">" does; so can a file that has no name any more (reached
        // through /proc/self/fd).
        if (::stat(path.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_nlink == 0)) {
            if (S_ISDIR(st.st_mode)) {
                errno = EISDIR;
                throw FileError(lastErrorText());
            }
            do {
                s.fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
            } while (s.fd < 0 && errno == EINTR);
            if (s.fd < 0) throw FileError(lastErrorText());
            return;
        }
        s.target = replacementTarget(path);
        if (isDirectory(s.target)) {
            errno = EISDIR;
            throw FileError(lastErrorText());
        }
        // Renaming could replace a file its owner made read-only; overwriting
        // it in place could not, and neither may this.
        if (exists(s.target) && ::access(s.target.c_str(), W_OK) != 0) throw FileError(lastErrorText());
        s.temp = std::make_unique<TempFile>(directoryOf(s.target));
        matchReplaced(s.temp->fd(), s.target);
    } catch (const FileError& e) {
        throw FileError(path + ": " + e.what());
    }
}

OutputFile::~OutputFile() = default;
OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&&) noexcept = default;

void OutputFile::write(std::string_view bytes) {
    if (state_->committed) throw std::logic_error("write after commit");
    try {
        writeAll(state_->out(), bytes);
    } catch (const FileError& e) {
        throw FileError(state_->path + ": " + e.what());
    }
}

void OutputFile::commit() {
    State& s = *state_;
    if (s.committed) throw std::logic_error("commit twice");
    s.committed = true;
    try {
        if (s.temp) {
            s.temp->commit(s.target);
        } else {
            int fd = s.fd;
            s.fd = -1;
            // Delayed write errors show up at the close.
            if (::close(fd) != 0) throw FileError(lastErrorText());
        }
    } catch (const FileError& e) {
        throw FileError(s.path + ": " + e.what());
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

std::string currentDirectory() {
    std::string buf(256, '\0');
    for (;;) {
        if (::getcwd(buf.data(), buf.size())) {
            buf.resize(std::strlen(buf.c_str()));
            return buf;
        }
        if (errno != ERANGE) throw FileError(lastErrorText());
        buf.resize(buf.size() * 2);
    }
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), &::closedir);
    if (!dir) throw FileError(pathError(path));
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir.get());
        if (!e) {
            if (errno != 0) throw FileError(pathError(path));
            break;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        names.emplace_back(e->d_name);
    }
    return names;
}

const char pathSeparator = '/';

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    return currentDirectory() + "/" + path;
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
}

// A terminal window has no buffer of its own to widen.
void widenConsole() {}

bool isTerminal(std::FILE* stream) {
    if (!stream) return false;
    int fd = ::fileno(stream);
    return fd >= 0 && ::isatty(fd) == 1;
}

// glibc gives the top of its heap back whenever 128 KiB of it are free, and
// a replay's rows take a little more than that: one brk (and a TLB flush)
// to shrink and one to grow again for every replay.
void keepFreedMemory() {
#ifdef __GLIBC__
    ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

std::string decodeCodePage(std::string_view bytes, unsigned codePage) {
    if (codePage == utf8CodePage) return recodeUtf8(bytes);
    const detail::SingleBytePage& page = pageOrThrow(codePage);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) out.push_back(c);
        else unicode::appendUtf8(out, page.chars[b - 0x80]);
    }
    return out;
}

std::string encodeCodePage(std::string_view utf8, unsigned codePage) {
    if (codePage == utf8CodePage) return recodeUtf8(utf8);
    const detail::SingleBytePage& page = pageOrThrow(codePage);
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        auto b = static_cast<unsigned char>(utf8[pos]);
        if (b < 0x80) {
            out.push_back(utf8[pos++]);
            continue;
        }
        char32_t cp = unicode::decodeUtf8(utf8, pos);
        char mapped = '?';
        for (unsigned i = 0; i < 128; ++i) {
            if (page.chars[i] == cp && !isUndefined(page, i)) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        }
        out.push_back(mapped);
    }
    return out;
}

unsigned codePageForCharset(std::string_view name) {
    auto is = [&](std::string_view n) {
        return name.size() == n.size() && ::strncasecmp(name.data(), n.data(), n.size()) == 0;
    };
    if (is("UTF-8")) return 65001u;
    if (is("ANSI_X3.4-1968") || is("ASCII") || is("US-ASCII")) return 20127u;
    for (unsigned i = 1; i <= 9; ++i)
        if (is("ISO-8859-" + std::to_string(i))) return 28590u + i;
    if (is("ISO-8859-13")) return 28603u;
    if (is("ISO-8859-15")) return 28605u;
    for (unsigned i = 1250; i <= 1258; ++i)
        if (is("CP" + std::to_string(i))) return i;
    if (is("CP437") || is("IBM437")) return 437u;
    if (is("CP850") || is("IBM850")) return 850u;
    return 65001u;
}

namespace {

unsigned localeCodePage() {
    static const unsigned page = [] {
        if (!std::setlocale(LC_CTYPE, "")) std::setlocale(LC_CTYPE, "C");
        const char* cs = ::nl_langinfo(CODESET);
        return codePageForCharset(cs ? cs : "");
    }();
    return page;
}

} // namespace

unsigned consoleOutputCodePage() { return localeCodePage(); }

std::string lastErrorText() { return std::strerror(errno); }

} // namespace platform
