#include "testutil.h"

#include "globals.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testutil {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string templ = (fs::temp_directory_path() / "gridtally-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
    std::string p = file(name);
    fs::create_directories(fs::path(p).parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + p);
    return p;
}

StderrCapture::StderrCapture() : file_(std::tmpfile()) {
    if (!file_) throw std::runtime_error("tmpfile failed");
    resetGlobals(stdin, stdout, file_);
}

StderrCapture::~StderrCapture() {
    resetGlobals();
    std::fclose(file_);
}

std::string StderrCapture::text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string out;
    char buf[512];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, file_)) > 0;) out.append(buf, n);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

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

RunResult runGridtally(const std::vector<std::string>& args, const RunOptions& opts) {
    std::vector<std::string> argv{"gridtally"};
    argv.insert(argv.end(), args.begin(), args.end());
#ifdef GRIDTALLY_BIN
    return runProgram(GRIDTALLY_BIN, argv, opts);
#else
    return runProgram("gridtally", argv, opts);
#endif
}

} // namespace testutil
