// Archive rows as text: JSON Lines (one object per line) and CSV.
#pragma once

#include <string>

#include "archive/archive_tables.h"

enum class ArchiveFormat : std::uint8_t { JSON_LINES, CSV };

// One row as a line. A JSON line names its table first when withTable is
// set ({"table":"results",...}), as the rows of one mixed stream do.
void appendJsonLine(std::string& out, ArchiveTable table, const ArchiveRow& row, bool withTable);
void appendCsvLine(std::string& out, const ArchiveRow& row);
void appendLine(std::string& out, ArchiveFormat format, ArchiveTable table, const ArchiveRow& row);
// The CSV header line of the table.
std::string csvHeaderLine(ArchiveTable table);
