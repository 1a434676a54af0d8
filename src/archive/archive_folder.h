// An archive's output folder: one file per table, each replaced as a whole
// when the run completes, and an index of what each replay added to them,
// so that the next run into the folder reads only new or changed replays
// and copies the rows of the others.
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_text.h"
#include "platform/platform.h"

class ArchiveFolder final : public ArchiveSink {
public:
    // Creates the folder when missing.
    ArchiveFolder(std::string folder, ArchiveFormat format, bool laps);

    // The inputs for these paths: a replay that the folder's index holds
    // with the same size and modification time is known.
    std::vector<ArchiveInput> plan(const std::vector<std::string>& paths);
    void take(ReplayRows& rows, ArchiveTable table, const ArchiveRow& row) const override;
    void write(std::size_t index, ReplayRows&& rows) override;
    // Replaces the table files, then the index.
    void commit();

    // Known replays that were broken when they were read.
    std::size_t knownBroken() const { return knownBroken_; }
    std::string tablePath(ArchiveTable table) const;

    // What one replay added to the tables, and when it was read.
    struct Entry {
        std::string path;
        std::optional<std::uint64_t> size;
        std::int64_t modified = 0;
        bool broken = false;
        std::array<std::uint64_t, 3> bytes{};   // per table
        std::array<std::uint64_t, 3> offsets{}; // in the table files of the run that wrote them
    };

private:
    std::string indexPath() const;
    std::vector<ArchiveTable> tables() const;
    void loadIndex();
    void copyRows(const Entry& old, ArchiveTable table);

    std::string folder_;
    ArchiveFormat format_;
    bool laps_;
    // The previous run's index, when it matches the folder and this run.
    std::map<std::string, Entry> previous_;
    bool previousLaps_ = false;
    std::vector<Entry> entries_; // this run's, by input
    std::vector<const Entry*> reused_; // by input: the previous entry of a known replay
    std::array<std::optional<platform::OutputFile>, 3> files_;
    std::array<std::unique_ptr<std::ifstream>, 3> oldFiles_;
    std::size_t knownBroken_ = 0;
};
