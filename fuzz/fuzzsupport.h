// Shared pieces of the fuzz targets: an in-memory file for the readers that
// need a path, and the rules every report and refusal must keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct ReportOptions;
struct CarsetChoice;

namespace fuzzsupport {

// A file that lives in memory (memfd) and is reachable by path, so the
// replay reader can map it; rewritten in place for every input. While it
// lives, the rest of the last page of every mapping of it is unaddressable:
// AddressSanitizer does not watch mapped memory and the system maps whole
// pages, so a read just past the end of the file would go unnoticed.
class MemFile {
public:
    MemFile();
    ~MemFile();
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    void assign(std::string_view bytes);
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// The report of a replay as the run driver makes it, warnings dropped.
// Aborts (a finding) when the report is empty or not well-formed UTF-8;
// refusals propagate.
std::string checkedReport(const std::string& replayPath, const CarsetChoice& carset, const ReportOptions& options);

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

// Aborts (a finding) when a refused input's message is empty: the run
// driver shows it as "Error: <what>", which must say something.
void checkMessage(const char* what);

} // namespace fuzzsupport
