#include "fuzzsupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "pipeline/replay_report.h"
#include "collected_diagnostics.h"
#include "platform/utf8.h"
#include "replay/replay_file.h"
#include "report/report.h"
#include "text/visible_text.h"

namespace {

[[noreturn]] void die(const char* what) {
    std::perror(what);
    std::abort();
}

} // namespace

namespace fuzzsupport {

Weekend weekendOf(std::string_view replay, const CarsetChoice& carset) {
    const ReplayFile file("fuzz.rpy", {reinterpret_cast<const std::uint8_t*>(replay.data()), replay.size()});
    IgnoredDiagnostics warnings; // expected on hostile input, and only slow
    return buildWeekend(file, carset, warnings);
}

std::string checkedReport(const Weekend& weekend, const ReportOptions& options) {
    StringSink sink;
    writeReport(weekend, options, sink);
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
