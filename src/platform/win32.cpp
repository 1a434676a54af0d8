#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

namespace platform {

namespace {

// Texts cross the system boundary as UTF-16.
std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    return out;
}

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::string errorText(DWORD code) {
    wchar_t* buf = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring text(buf ? buf : L"", n);
    if (buf) ::LocalFree(buf);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) return "system error " + std::to_string(code);
    return narrow(text);
}

[[noreturn]] void throwPathError(const std::string& path, DWORD code) {
    throw FileError(path + ": " + errorText(code));
}

[[noreturn]] void throwPathError(const std::string& path) { throwPathError(path, ::GetLastError()); }

// Closes a handle on every way out of a function.
class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() {
        if (valid()) ::CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }
    void reset(HANDLE h) {
        if (valid()) ::CloseHandle(h_);
        h_ = h;
    }
    // Closes now and reports whether the close succeeded.
    bool close() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

DWORD attributes(const std::string& path) { return ::GetFileAttributesW(widen(path).c_str()); }

// Throws the OpenError for a failed open, whose error code is given: the
// attributes tell whether the path can be examined at all (then the message
// is theirs) and whether it is a folder.
[[noreturn]] void throwOpenError(const std::string& path, DWORD openError) {
    const DWORD attrs = attributes(path);
    if (attrs == INVALID_FILE_ATTRIBUTES)
        throw OpenError(path + ": " + errorText(::GetLastError()), OpenError::Cause::UNEXAMINABLE);
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) throw OpenError(path + ": Is a directory", OpenError::Cause::DIRECTORY);
    throw OpenError(path + ": " + errorText(openError), OpenError::Cause::UNREADABLE);
}

// Opens a file for reading only when it is a regular disk file: a pipe or a
// device named like a replay or carset would block or never end. Throws
// OpenError.
HANDLE openRegularFile(const std::string& path, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    Handle h(::CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, flags, nullptr));
    if (!h.valid()) throwOpenError(path, ::GetLastError());
    if (::GetFileType(h.get()) != FILE_TYPE_DISK)
        throw OpenError(path + ": not a regular file", OpenError::Cause::UNREADABLE);
    return h.release();
}

std::uint64_t fileSize(HANDLE h, const std::string& path) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(h, &size)) throwPathError(path);
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::string directoryOf(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/:");
    if (cut == std::string::npos) return ".";
    if (path[cut] == ':') return path.substr(0, cut + 1); // "C:x" lives in C:'s current directory
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

// Returns the system's error code, ERROR_SUCCESS when all went out.
DWORD writeAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(h, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
        bytes.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

[[noreturn]] void throwConversionError() { throw ConversionError(errorText(::GetLastError())); }

constexpr unsigned utf8CodePage = 65001;

// Flags that make the system refuse rather than guess: a missing character
// becomes the default character, never a look-alike.
DWORD encodeFlags(unsigned codePage) { return codePage == utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS; }

} // namespace

bool exists(const std::string& path) { return attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool isDirectory(const std::string& path) {
    const DWORD attrs = attributes(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
    // Without read-ahead the data after a replay's records stays out of the
    // cache.
    Handle file(openRegularFile(path, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS));
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size))
        throw OpenError(path + ": " + errorText(::GetLastError()), OpenError::Cause::UNREADABLE);
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    handle_ = reinterpret_cast<std::intptr_t>(file.release());
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : path_(std::move(other.path_)), size_(other.size_), handle_(other.handle_) {
    other.handle_ = -1;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

void ReadOnlyFile::readAt(std::uint64_t offset, std::uint8_t* dest, std::size_t n) const {
    while (n > 0) {
        // The offset travels with the call: no file pointer is shared.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
        if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), dest, want, &got, &at)) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_HANDLE_EOF) throwPathError(path_, code);
        }
        if (got == 0) throw FileError(path_ + ": unexpected end of file");
        dest += got;
        offset += got;
        n -= got;
    }
}

FileMapping::FileMapping(const ReadOnlyFile& file) {
    const std::string& path = file.path();
    size_ = file.size();
    if (size_ > SIZE_MAX) throw FileError(path + ": file too large");
    if (size_ == 0) {
        // A mapping of 0 bytes is refused; an empty file still gets a valid pointer.
        static const std::uint8_t empty[1] = {0};
        data_ = empty;
        return;
    }
    Handle mapping(
        ::CreateFileMappingW(reinterpret_cast<HANDLE>(file.handle_), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.valid()) throwPathError(path);
    void* p = ::MapViewOfFileEx(mapping.get(), FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size_), nullptr);
    if (!p) throwPathError(path);
    // The view keeps the mapping and the file alive after their handles close.
    mapped_ = p;
    data_ = static_cast<const std::uint8_t*>(p);
}

FileMapping::~FileMapping() {
    if (mapped_) ::UnmapViewOfFile(mapped_);
}

// Windows reads a mapping in clusters around each page touched already.
void willRead(const void*, std::size_t) {}

std::string readFile(const std::string& path, std::uint64_t maxBytes) {
    Handle file(openRegularFile(path));
    if (fileSize(file.get(), path) > maxBytes) throw FileError(path + ": file too large");
    std::string out;
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), buf, sizeof buf, &n, nullptr)) throwPathError(path);
        if (n == 0) break;
        if (out.size() + n > maxBytes) throw FileError(path + ": file too large");
        out.append(buf, n);
    }
    return out;
}

struct OutputFile::State {
    std::string path; // as given, for messages
    bool text = false;
    Handle out;
    std::wstring temp; // empty when written in place
    bool committed = false;

    ~State() {
        if (!temp.empty()) {
            if (out.valid()) out.close();
            ::DeleteFileW(temp.c_str());
        }
    }
};

OutputFile::OutputFile(const std::string& path, bool text) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.path = path;
    s.text = text;
    const std::wstring wide = widen(path);
    // A device (NUL, CON) or a pipe cannot be replaced, only written to, as
    // a shell's ">" does. A disk file that cannot be opened for writing here
    // gets its error from the replacement.
    {
        Handle existing(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (existing.valid() && ::GetFileType(existing.get()) != FILE_TYPE_DISK) {
            s.out.reset(existing.release());
            return;
        }
    }
    wchar_t temp[MAX_PATH + 1];
    if (!::GetTempFileNameW(widen(directoryOf(path)).c_str(), L"gt", 0, temp)) {
        // A missing directory reads best as the target's own failure.
        DWORD code = ::GetLastError();
        throwPathError(path, code == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : code);
    }
    s.temp = temp;
    s.out.reset(::CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!s.out.valid()) throwPathError(path);
}

OutputFile::~OutputFile() = default;
OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&&) noexcept = default;

void OutputFile::write(std::string_view bytes) {
    State& s = *state_;
    if (s.committed) throw std::logic_error("write after commit");
    std::string crlf;
    if (s.text) {
        crlf.reserve(bytes.size() + static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
        for (char c : bytes) {
            if (c == '\n') crlf.push_back('\r');
            crlf.push_back(c);
        }
        bytes = crlf;
    }
    DWORD failure = writeAll(s.out.get(), bytes);
    if (failure != ERROR_SUCCESS) throwPathError(s.path, failure);
}

void OutputFile::commit() {
    State& s = *state_;
    if (s.committed) throw std::logic_error("commit twice");
    s.committed = true;
    // Delayed write errors show up only at the close.
    if (!s.out.close()) throwPathError(s.path);
    if (s.temp.empty()) return;
    if (!::MoveFileExW(s.temp.c_str(), widen(s.path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throwPathError(s.path);
    s.temp.clear();
}

bool sameFile(const std::string& a, const std::string& b) {
    const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        // No access rights needed to ask; backup semantics let folders open too.
        Handle h(::CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return h.valid() && ::GetFileInformationByHandle(h.get(), &info);
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identify(a, ia) && identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::string currentDirectory() {
    DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    for (;;) {
        std::wstring buf(n, L'\0');
        DWORD got = ::GetCurrentDirectoryW(n, buf.data());
        if (got == 0) throw FileError(lastErrorText());
        if (got < n) {
            buf.resize(got);
            return narrow(buf);
        }
        n = got;
    }
}

const char pathSeparator = '\\';

std::string absolutePath(const std::string& path) {
    const std::wstring wide = widen(path);
    DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring buf(n, L'\0');
    DWORD got = ::GetFullPathNameW(wide.c_str(), n, buf.data(), nullptr);
    if (got == 0 || got >= n) return path;
    buf.resize(got);
    return narrow(buf);
}

std::vector<std::string> listDirectory(const std::string& path) {
    WIN32_FIND_DATAW found;
    std::string pattern = path;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += '*';
    HANDLE h = ::FindFirstFileW(widen(pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        // An empty listing is no failure.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return {};
        throwPathError(path);
    }
    std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> closer(h, &::FindClose);
    std::vector<std::string> names;
    do {
        std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        names.push_back(narrow(name));
    } while (::FindNextFileW(h, &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES) throwPathError(path);
    return names;
}

// The system's heap keeps what is freed.
void keepFreedMemory() {}

// _isatty alone also takes the NUL device for a terminal; a console is what
// has a console mode.
bool isTerminal(std::FILE* stream) {
    if (!stream) return false;
    int fd = ::_fileno(stream);
    if (fd < 0 || !::_isatty(fd)) return false;
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)), &mode) != 0;
}

std::vector<std::string> commandLineArguments(int, char**) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv) return {};
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(narrow(argv[i]));
    ::LocalFree(argv);
    return args;
}

void widenConsole() {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!::GetConsoleScreenBufferInfo(out, &info)) return; // no console, or redirected
    const COORD largest = ::GetLargestConsoleWindowSize(out);
    COORD size = info.dwSize;
    if (size.X < 100) size.X = std::min<SHORT>(100, largest.X);
    if (size.Y < 200) size.Y = std::min<SHORT>(200, largest.Y);
    ::SetConsoleScreenBufferSize(out, size);
}

std::string decodeCodePage(std::string_view bytes, unsigned codePage) {
    if (bytes.empty()) return {}; // the system refuses a length of 0
    const int size = static_cast<int>(bytes.size());
    int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (n == 0) throwConversionError();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (!::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), n)) throwConversionError();
    return narrow(wide);
}

std::string encodeCodePage(std::string_view utf8, unsigned codePage) {
    const std::wstring wide = widen(utf8);
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const DWORD flags = encodeFlags(codePage);
    int n = ::WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (n == 0) throwConversionError();
    std::string out(static_cast<std::size_t>(n), '\0');
    if (!::WideCharToMultiByte(codePage, flags, wide.data(), size, out.data(), n, nullptr, nullptr))
        throwConversionError();
    return out;
}

unsigned consoleOutputCodePage() {
    UINT page = ::GetConsoleOutputCP();
    return page != 0 ? page : ::GetOEMCP(); // no console attached
}


std::string lastErrorText() { return errorText(::GetLastError()); }

} // namespace platform
