// Shared pieces of the fuzz targets: the run driver's way from bytes to a
// report, and the rules every report and refusal must keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct ReportOptions;
struct CarsetChoice;
struct Weekend;

namespace fuzzsupport {

// The weekend of a replay's bytes as the run driver builds it, warnings
// dropped; refusals propagate.
Weekend weekendOf(std::string_view replay, const CarsetChoice& carset);

// The weekend's report, warnings dropped. Aborts (a finding) when the
// report is empty or not well-formed UTF-8, or when a text or semikv report
// holds a control character other than its line feeds and TABs.
std::string checkedReport(const Weekend& weekend, const ReportOptions& options);

// A fresh empty directory, removed again when the process exits.
std::string makeScratchDirectory();

// Makes a directory the working directory while it lives. Only around the
// code that needs it: libFuzzer's own paths are relative to the start one.
class InDirectory {
public:
    explicit InDirectory(const std::string& path);
    ~InDirectory();
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    int previous_;
};

// Aborts (a finding) unless the text is well-formed UTF-8, as every report
// must be whatever the replay and carset bytes were.
void checkUtf8(std::string_view text);

// Aborts (a finding) when a line of the text holds a control character
// other than TAB: replay and carset texts must reach reports as visible
// stand-ins.
void checkNoControlCharacters(std::string_view text);

// Aborts (a finding) when a refused input's message is empty: the run
// driver shows it as "Error: <what>", which must say something.
void checkMessage(const char* what);

} // namespace fuzzsupport
