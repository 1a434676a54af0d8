#include "testutil.h"

#include "platform/platform.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <psapi.h>

#include <random>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testutil {

namespace fs = std::filesystem;

#ifdef _WIN32
TempDir::TempDir() {
    // No mkdtemp here: a random name, created only if it is new.
    std::random_device seed;
    std::mt19937 gen(seed());
    const std::string base = fs::temp_directory_path().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "gridtally-test-" + std::to_string(gen() % 100000000u);
        std::string p = base + (base.back() == '\\' ? "" : "\\") + name;
        if (::CreateDirectoryA(p.c_str(), nullptr)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}
#else
TempDir::TempDir() {
    std::string templ = (fs::temp_directory_path() / "gridtally-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}
#endif

std::string TempDir::file(const std::string& name) const { return path_ + platform::pathSeparator + name; }

bool underWine() {
#ifdef _WIN32
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

std::string nativePath(std::string path) {
    std::replace(path.begin(), path.end(), '/', platform::pathSeparator);
    return path;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

namespace {

// Paths are UTF-8 text; Windows would read a narrow path in its ANSI code page.
fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

} // namespace

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
    std::string p = file(name);
    fs::create_directories(pathOf(p).parent_path());
    std::ofstream f(pathOf(p), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + p);
    return p;
}

TempStream::TempStream() : file_(std::fopen(dir_.file("stream").c_str(), "w+b")) {
    if (!file_) throw std::runtime_error("cannot open a temporary stream");
}

TempStream::TempStream(const std::string& bytes) : TempStream() {
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::rewind(file_);
}

TempStream::~TempStream() { std::fclose(file_); }

std::string TempStream::contents() const {
    std::fflush(file_);
    const long pos = std::ftell(file_);
    std::rewind(file_);
    std::string out;
    char buf[512];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, file_)) > 0;) out.append(buf, n);
    std::fseek(file_, pos, SEEK_SET);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream f(pathOf(path), std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, std::string_view bytes, bool text) {
    platform::OutputFile out(path, text);
    out.write(bytes);
    out.commit();
}

bool fileExists(const std::string& path) { return platform::exists(path); }

#ifndef _WIN32
std::vector<bool> residentPages(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    void* map = fd < 0 ? MAP_FAILED : ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    std::vector<bool> resident;
    if (map != MAP_FAILED) {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        std::vector<unsigned char> bits((size + page - 1) / page);
        if (::mincore(map, size, bits.data()) == 0)
            for (unsigned char b : bits) resident.push_back(b & 1);
        ::munmap(map, size);
    }
    if (fd >= 0) ::close(fd);
    return resident;
}
#endif

#ifdef _WIN32
namespace {

std::wstring wide(const std::string& s) {
    std::wstring out(s.size() + 1, L'\0');
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, out.data(), static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    return out;
}

// One argument quoted so that the child's CommandLineToArgvW gives it back.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// This process's environment with NAME=VALUE entries added or replaced.
std::wstring environmentBlock(const std::vector<std::string>& extra) {
    std::vector<std::wstring> entries;
    wchar_t* env = ::GetEnvironmentStringsW();
    for (const wchar_t* p = env; *p; p += std::wcslen(p) + 1) entries.emplace_back(p);
    ::FreeEnvironmentStringsW(env);
    for (const std::string& e : extra) {
        std::wstring w = wide(e);
        std::wstring name = w.substr(0, w.find(L'=') + 1);
        std::erase_if(entries, [&](const std::wstring& old) { return _wcsnicmp(old.c_str(), name.c_str(), name.size()) == 0; });
        entries.push_back(w);
    }
    std::wstring block;
    for (const std::wstring& e : entries) block += e + L'\0';
    return block + L'\0';
}

HANDLE inheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE h = ::CreateFileW(wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    return h;
}

std::string withoutCarriageReturns(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

} // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& opts) {
    TempDir io;
    std::string inPath = io.write("stdin", opts.stdinText);
    std::string outPath = io.file("stdout"), errPath = io.file("stderr");

    HANDLE in = inheritable(opts.closeStdin ? "NUL" : inPath, GENERIC_READ, OPEN_EXISTING);
    HANDLE out = inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;

    std::wstring commandLine;
    for (const std::string& a : args) commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wide(a));
    std::wstring env = environmentBlock(opts.env);
    std::wstring cwd = wide(opts.cwd);
    PROCESS_INFORMATION pi{};
    BOOL started = ::CreateProcessW(wide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                    CREATE_UNICODE_ENVIRONMENT, env.data(), cwd.empty() ? nullptr : cwd.c_str(),
                                    &si, &pi);
    ::CloseHandle(in);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) throw std::runtime_error("cannot start " + program + ": " + platform::lastErrorText());
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    RunResult r;
    FILETIME created, exited, kernel, user;
    if (::GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user)) {
        auto ticks = [](const FILETIME& t) {
            return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
        };
        r.cpuSeconds = (ticks(kernel) + ticks(user)) / 1e7; // 100 ns units
    }
    PROCESS_MEMORY_COUNTERS memory{};
    if (::K32GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory))
        r.peakMemoryKb = static_cast<long>(memory.PeakWorkingSetSize / 1024);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);

    r.status = static_cast<int>(code);
    r.out = withoutCarriageReturns(readFile(outPath));
    r.err = withoutCarriageReturns(readFile(errPath));
    return r;
}
#else
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& opts) {
    TempDir io;
    std::string inPath = io.write("stdin", opts.stdinText);
    std::string outPath = io.file("stdout"), errPath = io.file("stderr");

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (!opts.cwd.empty() && chdir(opts.cwd.c_str()) != 0) _exit(126);
        if (opts.closeStdin) {
            int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
        } else {
            int in = open(inPath.c_str(), O_RDONLY);
            dup2(in, 0);
        }
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        // Permission checks only bite without root's rights: 65534 is "nobody".
        // The standard streams are open already.
        if (opts.unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(125);
        if (opts.fileSizeLimit >= 0) {
            signal(SIGXFSZ, opts.killAtFileSizeLimit ? SIG_DFL : SIG_IGN);
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(opts.fileSizeLimit);
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
        }
        for (const auto& e : opts.env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    struct rusage usage {};
    while (wait4(pid, &wstatus, 0, &usage) < 0 && errno == EINTR) {
    }
    RunResult r;
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.peakMemoryKb = usage.ru_maxrss;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}
#endif

RunResult runGridtally(const std::vector<std::string>& args, const RunOptions& opts) {
    std::vector<std::string> argv{"gridtally"};
    argv.insert(argv.end(), args.begin(), args.end());
#ifdef GRIDTALLY_BIN
    return runProgram(GRIDTALLY_BIN, argv, opts);
#else
    return runProgram("gridtally", argv, opts);
#endif
}

RunResult checkJsonCsv(const std::vector<std::string>& args) { return runCheckScript("check_json_csv.py", args); }

RunResult runCheckScript(const std::string& script, const std::vector<std::string>& args) {
#ifdef GRIDTALLY_PYTHON
    std::vector<std::string> argv = {GRIDTALLY_PYTHON, std::string(GRIDTALLY_SOURCE_DIR) + "/tests/" + script};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(GRIDTALLY_PYTHON, argv);
#else
    RunResult r;
    r.status = 77;
    r.out = "no Python for this build's tests: " + script + " is skipped (" + std::to_string(args.size()) +
            " arguments)";
    return r;
#endif
}

} // namespace testutil
