// Helpers for tests: temporary directories and running the real binary.
#pragma once

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace testutil {

// The message of the exception f throws; "no error" when it throws none.
template <class F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Path of a file inside the directory, with the system's separator.
    std::string file(const std::string& name) const;
    // Writes bytes to a file inside the directory (parent folders created).
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

std::string readFile(const std::string& path);
// Writes all of bytes through a platform::OutputFile and commits it; a text
// file gets the system's line ends.
void writeFile(const std::string& path, std::string_view bytes, bool text = false);
bool fileExists(const std::string& path);

#ifndef _WIN32
// Which pages of the file are in the page cache, seen through a mapping of
// its own that touches none of them. Empty when the system cannot tell.
std::vector<bool> residentPages(const std::string& path);
#endif

// A temporary file standing in for a standard stream: consoles and the run
// driver write to it, tests read back what it holds.
class TempStream {
public:
    TempStream();
    // A stream to read these bytes from, from the start.
    explicit TempStream(const std::string& bytes);
    ~TempStream();
    TempStream(const TempStream&) = delete;
    TempStream& operator=(const TempStream&) = delete;

    std::FILE* get() const { return file_; }
    // Everything written so far; the position stays where it was.
    std::string contents() const;

private:
    // A file of a directory of its own: the C runtime's tmpfile() names may
    // collide between test processes running side by side under Wine.
    TempDir dir_;
    std::FILE* file_;
};

// Exit status -1 as the parent sees it: the system keeps only the low byte
// on POSIX systems, the whole value on Windows.
#ifdef _WIN32
inline constexpr int statusMinusOne = -1;
#else
inline constexpr int statusMinusOne = 255;
#endif

// A path or a text as the program writes it on this system: "/" becomes "\"
// on Windows.
std::string nativePath(std::string path);

// True inside Wine, whose process times count work its server does for the
// process and whose peak memory of a short-lived process may read 0: neither
// measures the program's own cost there.
bool underWine();

struct RunResult {
    // exit status (0..255 on POSIX systems), or -1 when killed by a signal
    int status = -1;
    // The standard streams; on Windows the C runtime writes each "\n" of
    // them as "\r\n", and those pairs are "\n" again here.
    std::string out;
    std::string err;
    double cpuSeconds = 0; // user + system time of the process
    long peakMemoryKb = 0; // largest resident set of the process
};

struct RunOptions {
    std::string cwd;               // working directory; empty keeps the current one
    std::string stdinText;         // fed to standard input
    bool closeStdin = false;       // no standard input at all (end of input at once)
    std::vector<std::string> env;  // extra NAME=VALUE entries (LC_ALL=C etc.)
    bool unprivileged = false;     // when run as root, run as user "nobody" instead (POSIX)
    // Largest file the process may write (RLIMIT_FSIZE, POSIX), -1 for no
    // limit. A write past it fails with EFBIG, or kills the process with
    // SIGXFSZ when killAtFileSizeLimit is set.
    long long fileSizeLimit = -1;
    bool killAtFileSizeLimit = false;
};

// Runs the gridtally binary with the arguments (argv[0] is "gridtally").
RunResult runGridtally(const std::vector<std::string>& args, const RunOptions& opts = {});

// Runs tests/check_json_csv.py (Python's json and csv modules, and
// python3-jsonschema) with the arguments. Status 77 when Python or the
// module is missing, as in a cross build: the caller skips.
RunResult checkJsonCsv(const std::vector<std::string>& args);

// Runs the check script tests/<script> with the arguments. Status 77 when
// this build's tests have no Python (a cross build) or the script misses a
// module: the caller skips.
RunResult runCheckScript(const std::string& script, const std::vector<std::string>& args);

// Runs any program; argv[0] is given in args.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& opts = {});

} // namespace testutil
