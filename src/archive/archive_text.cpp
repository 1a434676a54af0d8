#include "archive/archive_text.h"

#include <type_traits>

#include "document/cells.h"
#include "text/csv_text.h"
#include "text/json_text.h"

namespace {

void appendJsonCell(std::string& out, const ArchiveCell& cell) {
    std::visit(
        [&out](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::monostate>) {
                out += "null";
            } else if constexpr (std::is_same_v<V, std::int64_t>) {
                appendInteger(out, v);
            } else if constexpr (std::is_same_v<V, bool>) {
                out += v ? "true" : "false";
            } else if constexpr (std::is_same_v<V, std::string>) {
                appendJsonString(out, v);
            } else {
                out += '[';
                for (std::size_t i = 0; i < v.size(); ++i) {
                    if (i != 0) out += ',';
                    appendJsonString(out, v[i]);
                }
                out += ']';
            }
        },
        cell);
}

void appendCsvCell(std::string& out, const ArchiveCell& cell) {
    std::visit(
        [&out](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::int64_t>) {
                appendInteger(out, v);
            } else if constexpr (std::is_same_v<V, bool>) {
                out += v ? "true" : "false";
            } else if constexpr (std::is_same_v<V, std::string>) {
                appendCsvField(out, v);
            } else if constexpr (std::is_same_v<V, ArchiveTexts>) {
                std::string lines;
                for (std::size_t i = 0; i < v.size(); ++i) {
                    if (i != 0) lines += '\n';
                    lines += v[i];
                }
                appendCsvField(out, lines);
            }
        },
        cell);
}

} // namespace

void appendJsonLine(std::string& out, ArchiveTable table, const ArchiveRow& row, bool withTable) {
    const std::span<const ArchiveColumn> columns = archiveColumns(table);
    out += '{';
    if (withTable) {
        out += "\"table\":\"";
        out += archiveTableName(table);
        out += "\",";
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i != 0) out += ',';
        out += '"';
        out += columns[i].jsonKey;
        out += "\":";
        appendJsonCell(out, row[i]);
    }
    out += "}\n";
}

void appendCsvLine(std::string& out, const ArchiveRow& row) {
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i != 0) out += ',';
        appendCsvCell(out, row[i]);
    }
    out += '\n';
}

void appendLine(std::string& out, ArchiveFormat format, ArchiveTable table, const ArchiveRow& row) {
    if (format == ArchiveFormat::CSV)
        appendCsvLine(out, row);
    else
        appendJsonLine(out, table, row, false);
}

std::string csvHeaderLine(ArchiveTable table) {
    std::string line;
    for (const ArchiveColumn& column : archiveColumns(table)) {
        if (!line.empty()) line += ',';
        line += column.csvHeader;
    }
    return line + '\n';
}
