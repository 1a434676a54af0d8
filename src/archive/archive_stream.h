// The rows of every table as one JSON Lines stream, each line naming its
// table, for standard output or a pipe.
#pragma once

#include <functional>
#include <string_view>

#include "archive/archive.h"

class ArchiveStream final : public ArchiveSink {
public:
    explicit ArchiveStream(std::function<void(std::string_view)> out) : out_(std::move(out)) {}
    void take(ReplayRows& rows, ArchiveTable table, const ArchiveRow& row) const override;
    void write(std::size_t index, ReplayRows&& rows) override;

private:
    std::function<void(std::string_view)> out_;
};
