#include "pipeline/archive_lines.h"

#include <vector>

#include "archive/archive_text.h"

namespace {

// Lines are encoded on the workers; each keeps its table in a first byte
// that is dropped on the way out.
class LineSink final : public ArchiveSink {
public:
    explicit LineSink(const RowLineOut& out) : out_(out) {}
    void take(ReplayRows& rows, ArchiveTable table, const ArchiveRow& row) const override {
        std::string& line = rows.text.emplace_back(1, static_cast<char>(table));
        appendJsonLine(line, table, row, true);
    }
    void write(std::size_t, ReplayRows&& rows) override {
        for (const std::string& line : rows.text)
            out_(static_cast<ArchiveTable>(line.front()), std::string_view(line).substr(1));
    }

private:
    const RowLineOut& out_;
};

} // namespace

ArchiveCounts readArchiveLines(std::span<const std::string> paths, const ArchiveOptions& options,
                               const RowLineOut& out) {
    std::vector<ArchiveInput> inputs;
    inputs.reserve(paths.size());
    for (const std::string& path : paths) inputs.push_back(ArchiveInput{path, false, {}});
    return readArchiveLines(inputs, options, out);
}

ArchiveCounts readArchiveLines(std::span<const ArchiveInput> inputs, const ArchiveOptions& options,
                               const RowLineOut& out) {
    LineSink sink(out);
    return readArchive(inputs, options, sink);
}
