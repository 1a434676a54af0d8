#include "archive/archive_folder.h"

#include <charconv>
#include <stdexcept>
#include <system_error>

#include "archive/archive_inputs.h"
#include "text/format.h"

namespace {

constexpr std::string_view indexMagic = "gridtally archive index 1\n";
constexpr std::uint64_t maxIndexBytes = std::uint64_t(1) << 32;

std::uint64_t headerSize(ArchiveFormat format, ArchiveTable table) {
    return format == ArchiveFormat::CSV ? csvHeaderLine(table).size() : 0;
}

// A file's size and modification time; nothing when it cannot be examined.
void stamp(ArchiveFolder::Entry& entry) {
    std::error_code error;
    const std::filesystem::path path = fsPath(entry.path);
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return;
    const auto modified = std::filesystem::last_write_time(path, error);
    if (error) return;
    entry.size = size;
    entry.modified = static_cast<std::int64_t>(modified.time_since_epoch().count());
}

std::optional<std::uint64_t> sizeOf(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(fsPath(path), error);
    if (error) return std::nullopt;
    return size;
}

// Reads the index's numbers and length-prefixed paths; any surprise means
// the index is not used.
class IndexReader {
public:
    explicit IndexReader(std::string_view text) : text_(text) {}
    bool done() const { return text_.empty(); }
    template <class T>
    T number() {
        T value{};
        const auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
        if (error != std::errc() || end == text_.data()) throw std::runtime_error("bad index");
        text_.remove_prefix(static_cast<std::size_t>(end - text_.data()));
        return value;
    }
    void expect(char c) {
        if (text_.empty() || text_.front() != c) throw std::runtime_error("bad index");
        text_.remove_prefix(1);
    }
    std::string bytes(std::size_t n) {
        if (text_.size() < n) throw std::runtime_error("bad index");
        std::string value(text_.substr(0, n));
        text_.remove_prefix(n);
        return value;
    }

private:
    std::string_view text_;
};

} // namespace

ArchiveFolder::ArchiveFolder(std::string folder, ArchiveFormat format, bool laps)
    : folder_(std::move(folder)), format_(format), laps_(laps) {
    std::error_code error;
    std::filesystem::create_directories(fsPath(folder_), error);
    if (error || !std::filesystem::is_directory(fsPath(folder_)))
        throw std::runtime_error(formatText("cannot make output folder %s: %s", folder_,
                                            error ? error.message() : std::string("not a folder")));
}

std::string ArchiveFolder::tablePath(ArchiveTable table) const {
    return folder_ + platform::pathSeparator + archiveTableName(table) +
           (format_ == ArchiveFormat::CSV ? ".csv" : ".jsonl");
}

std::string ArchiveFolder::indexPath() const {
    return folder_ + platform::pathSeparator +
           (format_ == ArchiveFormat::CSV ? ".archive-index-csv" : ".archive-index-jsonl");
}

std::vector<ArchiveTable> ArchiveFolder::tables() const {
    if (laps_) return {ArchiveTable::REPLAYS, ArchiveTable::RESULTS, ArchiveTable::LAPS};
    return {ArchiveTable::REPLAYS, ArchiveTable::RESULTS};
}

// Index: the magic line, "laps 0|1", the table files' sizes, then one line
// per replay: size (-1 when unknown), modification time, broken, the bytes
// it added to each table, and its path's length and bytes.
void ArchiveFolder::loadIndex() {
    if (!platform::exists(indexPath())) return;
    std::map<std::string, Entry> entries;
    try {
        const std::string text = platform::readFile(indexPath(), maxIndexBytes);
        if (!text.starts_with(indexMagic)) return;
        IndexReader in(std::string_view(text).substr(indexMagic.size()));
        in.bytes(5); // "laps "
        const bool hadLaps = in.number<int>() == 1;
        in.expect('\n');
        std::array<std::uint64_t, 3> tableSizes{};
        for (std::uint64_t& size : tableSizes) {
            size = in.number<std::uint64_t>();
            in.expect(' ');
        }
        in.expect('\n');
        std::array<std::uint64_t, 3> offsets{};
        for (ArchiveTable table : archiveTables) offsets[std::size_t(table)] = headerSize(format_, table);
        while (!in.done()) {
            Entry entry;
            const auto size = in.number<std::int64_t>();
            if (size >= 0) entry.size = static_cast<std::uint64_t>(size);
            in.expect(' ');
            entry.modified = in.number<std::int64_t>();
            in.expect(' ');
            entry.broken = in.number<int>() == 1;
            in.expect(' ');
            for (std::size_t t = 0; t < 3; ++t) {
                entry.bytes[t] = in.number<std::uint64_t>();
                entry.offsets[t] = offsets[t];
                offsets[t] += entry.bytes[t];
                in.expect(' ');
            }
            entry.path = in.bytes(in.number<std::size_t>() + 1).substr(1);
            in.expect('\n');
            entries.emplace(entry.path, std::move(entry));
        }
        // Table files changed since (or left half-replaced) make the index
        // worthless: everything is read again.
        for (ArchiveTable table : archiveTables) {
            const std::size_t t = std::size_t(table);
            if (table == ArchiveTable::LAPS && !hadLaps) continue;
            if (offsets[t] != tableSizes[t] || sizeOf(tablePath(table)) != tableSizes[t]) return;
        }
        // Rows without laps cannot serve a run that wants them.
        if (laps_ && !hadLaps) return;
        previousLaps_ = hadLaps;
    } catch (const std::exception&) {
        return;
    }
    previous_ = std::move(entries);
}

std::vector<ArchiveInput> ArchiveFolder::plan(const std::vector<std::string>& paths) {
    loadIndex();
    std::vector<ArchiveInput> inputs;
    inputs.reserve(paths.size());
    entries_.assign(paths.size(), Entry{});
    reused_.assign(paths.size(), nullptr);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Entry& entry = entries_[i];
        entry.path = paths[i];
        stamp(entry);
        const auto old = previous_.find(paths[i]);
        const bool known = entry.size && old != previous_.end() && old->second.size == entry.size &&
                           old->second.modified == entry.modified;
        if (known) {
            reused_[i] = &old->second;
            entry.broken = old->second.broken;
            if (entry.broken) ++knownBroken_;
        }
        inputs.push_back(ArchiveInput{paths[i], known, {}});
    }
    for (ArchiveTable table : tables()) {
        std::optional<platform::OutputFile>& file = files_[std::size_t(table)];
        file.emplace(tablePath(table), false);
        if (format_ == ArchiveFormat::CSV) file->write(csvHeaderLine(table));
    }
    return inputs;
}

void ArchiveFolder::take(ReplayRows& rows, ArchiveTable table, const ArchiveRow& row) const {
    rows.text.resize(3);
    appendLine(rows.text[std::size_t(table)], format_, table, row);
}

void ArchiveFolder::copyRows(const Entry& old, ArchiveTable table) {
    const std::size_t t = std::size_t(table);
    std::uint64_t left = old.bytes[t];
    if (left == 0) return;
    std::unique_ptr<std::ifstream>& in = oldFiles_[t];
    if (!in) in = std::make_unique<std::ifstream>(fsPath(tablePath(table)), std::ios::binary);
    in->seekg(static_cast<std::streamoff>(old.offsets[t]));
    char buffer[1 << 16];
    while (left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof buffer));
        if (!in->read(buffer, static_cast<std::streamsize>(n)))
            throw std::runtime_error(formatText("cannot read %s", tablePath(table)));
        files_[t]->write(std::string_view(buffer, n));
        left -= n;
    }
}

void ArchiveFolder::write(std::size_t index, ReplayRows&& rows) {
    Entry& entry = entries_.at(index);
    if (rows.known) {
        const Entry& old = *reused_[index];
        for (ArchiveTable table : tables()) copyRows(old, table);
        entry.bytes = old.bytes;
        if (!laps_) entry.bytes[std::size_t(ArchiveTable::LAPS)] = 0;
        return;
    }
    entry.broken = rows.broken;
    for (ArchiveTable table : tables()) {
        const std::size_t t = std::size_t(table);
        if (rows.text.size() <= t) continue;
        files_[t]->write(rows.text[t]);
        entry.bytes[t] = rows.text[t].size();
    }
}

void ArchiveFolder::commit() {
    for (auto& in : oldFiles_) in.reset();
    std::array<std::uint64_t, 3> sizes{};
    for (ArchiveTable table : tables()) {
        const std::size_t t = std::size_t(table);
        sizes[t] = headerSize(format_, table);
        for (const Entry& entry : entries_) sizes[t] += entry.bytes[t];
        files_[t]->commit();
        files_[t].reset();
    }
    // A laps table of an earlier run would no longer match the others.
    std::error_code ignored;
    if (!laps_ && previousLaps_) std::filesystem::remove(fsPath(tablePath(ArchiveTable::LAPS)), ignored);

    std::string index(indexMagic);
    index += laps_ ? "laps 1\n" : "laps 0\n";
    index += formatText("%u %u %u \n", sizes[0], sizes[1], sizes[2]);
    for (const Entry& entry : entries_) {
        index += formatText("%d %d %d %u %u %u %u ", entry.size ? static_cast<std::int64_t>(*entry.size) : -1,
                            entry.modified, entry.broken ? 1 : 0, entry.bytes[0], entry.bytes[1], entry.bytes[2],
                            entry.path.size());
        index += entry.path;
        index += '\n';
    }
    platform::writeFile(indexPath(), index);
}
