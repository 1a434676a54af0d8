#include "archive/archive_stream.h"

#include "archive/archive_text.h"

void ArchiveStream::take(ReplayRows& rows, ArchiveTable table, const ArchiveRow& row) const {
    if (rows.text.empty()) rows.text.emplace_back();
    appendJsonLine(rows.text.front(), table, row, true);
}

void ArchiveStream::write(std::size_t, ReplayRows&& rows) {
    if (!rows.text.empty()) out_(rows.text.front());
}
