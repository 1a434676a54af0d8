#include "archive/archive_stream.h"

#include "archive/archive_text.h"

void ArchiveStream::prepare(ReplayRows& rows) const {
    std::string& text = rows.prepared.emplace_back();
    appendJsonLine(text, ArchiveTable::REPLAYS, rows.replay, true);
    for (const ArchiveRow& row : rows.results) appendJsonLine(text, ArchiveTable::RESULTS, row, true);
    for (const ArchiveRow& row : rows.laps) appendJsonLine(text, ArchiveTable::LAPS, row, true);
}

void ArchiveStream::write(std::size_t, ReplayRows&& rows) {
    if (!rows.prepared.empty()) out_(rows.prepared.front());
}
