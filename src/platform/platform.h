// The operating-system services gridtally needs, behind one small interface.
// posix.cpp implements it for Linux and other POSIX systems, win32.cpp for
// Windows. Paths and texts are UTF-8 on both.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A file that cannot be examined or opened. The message names the path and
// carries the system's reason.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A code-page conversion the system refuses (unknown code page). The message
// is the system's error text only; callers add their own prefix.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Existence and directory tests follow symbolic links.
bool exists(const std::string& path);
bool isDirectory(const std::string& path);

// A file that could not be opened for reading, and what the path names as
// far as the system tells afterwards. Callers word the first two their own
// way; the message of the last is the system's.
class OpenError : public FileError {
public:
    enum class Cause {
        UNEXAMINABLE, // not even its attributes can be read: no such file, a folder on the way without permission
        DIRECTORY,
        UNREADABLE, // it exists but cannot be read as a file: permissions, a socket, a FIFO
    };
    OpenError(const std::string& message, Cause cause) : FileError(message), cause_(cause) {}
    Cause cause() const { return cause_; }

private:
    Cause cause_;
};

// A regular file open for reading at any offset; its size is taken once, on
// opening. The system is told that the reads are random, so that it reads
// nothing ahead of the bytes asked for.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path); // throws OpenError
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&&) = delete;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    const std::string& path() const { return path_; }
    std::uint64_t size() const { return size_; }
    // Reads the n bytes at offset into dest. Throws FileError with the path
    // and the system's reason, or "unexpected end of file" when the file has
    // shrunk since it was opened.
    void readAt(std::uint64_t offset, std::uint8_t* dest, std::size_t n) const;

private:
    friend class FileMapping;

    std::string path_;
    std::uint64_t size_ = 0;
    std::intptr_t handle_ = -1; // a descriptor, or a HANDLE on Windows
};

// Read-only mapping of a whole open file. The bytes stay valid and in place
// for the life of the object, also after the file is closed. A 0-byte file
// gives size() 0 and a non-null data(). On POSIX systems only the pages
// touched, or named by willRead, are read from the file: none of what lies
// around them.
class FileMapping {
public:
    explicit FileMapping(const ReadOnlyFile& file); // throws FileError
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::uint64_t size() const { return size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::uint64_t size_ = 0;
    void* mapped_ = nullptr;
};

// A hint that the bytes (of a mapping, or any memory) are read next, so that
// the system fetches them in large reads rather than page by page.
void willRead(const void* data, std::size_t size);

// Reads a whole file into memory; throws FileError, whose message starts with
// the path. A file larger than maxBytes, or one that grows past it while read
// (such as the files of /proc, whose size reads 0), is "file too large".
std::string readFile(const std::string& path, std::uint64_t maxBytes);

// The output file of a run, written in pieces.
// - A regular file (symbolic links followed, even to a file that does not
//   exist yet) is replaced as one step: the bytes go to a temporary file in
//   the target's directory, which commit() renames over it, keeping the
//   target's permissions and, where the process may set them, its owner and
//   group. Until then the old file stays as it was, and an object destroyed
//   without commit() leaves nothing behind. On POSIX systems a named
//   temporary file is also removed when SIGHUP, SIGINT, SIGTERM or SIGXFSZ
//   ends the process; only SIGKILL can leave one ".gridtally-*" file there.
// - Anything else that exists under the name (a device, a FIFO, a pipe or
//   terminal reached through a link) is written in place, as a shell's ">"
//   does; a directory is refused.
// text: each "\n" is stored as "\r\n" on Windows, unchanged elsewhere.
// Every failure throws FileError with the path as given, ": " and the reason.
class OutputFile {
public:
    OutputFile(const std::string& path, bool text);
    ~OutputFile();
    OutputFile(OutputFile&&) noexcept;
    OutputFile& operator=(OutputFile&&) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes);
    // Completes the file: the rename over the target, or the close of a file
    // written in place. Nothing may be written afterwards.
    void commit();

    struct State; // per system

private:
    std::unique_ptr<State> state_;
};

// Writes all of bytes through an OutputFile and commits it.
inline void writeFile(const std::string& path, std::string_view bytes) {
    OutputFile out(path, false);
    out.write(bytes);
    out.commit();
}

// True when both paths exist and name the same file (links followed): the
// same device and inode, or on Windows the same volume and file index.
bool sameFile(const std::string& a, const std::string& b);

std::string currentDirectory();

// '\\' on Windows, '/' elsewhere.
extern const char pathSeparator;

// The path made absolute against the current directory.
std::string absolutePath(const std::string& path);

// Names of the entries of a directory, without "." and "..", in the order the
// system gives them. Throws FileError when the directory cannot be listed.
std::vector<std::string> listDirectory(const std::string& path);

bool isTerminal(std::FILE* stream);

// For a process that reads many replays one after the other: memory freed
// after one is kept for the next rather than handed back to the system and
// asked for again each time.
void keepFreedMemory();

// The program's arguments (argument 0 first) as UTF-8. Windows takes them
// from the wide command line and ignores argv.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Widens the console window's buffer for wide tables (at least 100 columns
// and 200 rows where the screen allows). Does nothing without a console.
void widenConsole();

// Code pages are Windows code page numbers; 0 is the system ANSI code page
// (Windows-1252 on POSIX systems). decode: bytes in the code page to UTF-8.
// encode: UTF-8 to the code page, every character the page lacks becoming one
// '?' (on Windows the system's default character, one per UTF-16 unit).
// Both throw ConversionError for an unknown code page.
std::string decodeCodePage(std::string_view bytes, unsigned codePage);
std::string encodeCodePage(std::string_view utf8, unsigned codePage);

// The console's output code page (GetConsoleOutputCP on Windows).
// Elsewhere the code page of the locale's character set (LC_ALL / LC_CTYPE /
// LANG); the first call makes the environment's locale the program's
// LC_CTYPE.
unsigned consoleOutputCodePage();

#ifndef _WIN32
// The code page for a character set name as nl_langinfo(CODESET) gives it
// ("UTF-8", "ISO-8859-15", "CP1252", ...); 65001 for names it doesn't know.
unsigned codePageForCharset(std::string_view name);
#endif

// The system's text for the last error (errno; GetLastError on Windows).
std::string lastErrorText();

namespace detail {
// Upper half (bytes 0x80-0xFF) of a single-byte code page; the tables are
// generated into codepages.cpp by tools/gen_codepages.py. A byte whose bit is
// set in undefinedBits has no character in the page: it decodes to the code
// point of the same value, and encoding never produces it.
struct SingleBytePage {
    unsigned number;
    char16_t chars[128];
    std::uint8_t undefinedBits[16];
};
// The table of a single-byte page, or null.
const SingleBytePage* findSingleBytePage(unsigned number);
} // namespace detail

// Folders, for a site written as a whole. Every failure throws FileError
// with the path and the reason.
void makeDirectory(const std::string& path);
// Renames a file or a folder; the target must not exist as a folder.
void renamePath(const std::string& from, const std::string& to);
// Removes a folder and everything in it; nothing when it does not exist.
void removeTree(const std::string& path);

} // namespace platform
