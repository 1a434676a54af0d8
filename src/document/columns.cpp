#include "document/columns.h"

#include "document/cells.h"
#include "document/semikv_document.h"
#include "text/csv_text.h"
#include "text/json_text.h"

namespace {

void appendTime(std::string& out, std::int64_t ms) {
    char buf[lapTimeTextMax];
    out.append(buf, writeLapTime(buf, static_cast<std::uint32_t>(ms)));
}

// What the formats write alike: numbers, times and booleans bare.
bool appendPlain(std::string& out, const Cell& cell) {
    switch (cell.kind) {
    case Cell::Kind::INTEGER: appendInteger(out, cell.number); return true;
    case Cell::Kind::TIME: appendTime(out, cell.number); return true;
    case Cell::Kind::BOOLEAN: out += cell.number != 0 ? "true" : "false"; return true;
    case Cell::Kind::MISSING:
    case Cell::Kind::TEXT:
    case Cell::Kind::NAME: break;
    }
    return false;
}

} // namespace

void appendJsonCell(std::string& out, const Cell& cell) {
    if (cell.kind == Cell::Kind::TIME) {
        out += '"';
        appendTime(out, cell.number);
        out += '"';
    } else if (cell.kind == Cell::Kind::TEXT || cell.kind == Cell::Kind::NAME) {
        appendJsonString(out, cell.text);
    } else if (!appendPlain(out, cell)) {
        out += "null";
    }
}

void appendCsvCell(std::string& out, const Cell& cell) {
    if (cell.kind == Cell::Kind::TEXT) appendCsvField(out, cell.text);
    else if (cell.kind == Cell::Kind::NAME) appendCsvName(out, cell.text);
    else appendPlain(out, cell);
}

void appendSemikvCell(std::string& out, const Cell& cell) {
    if (cell.kind == Cell::Kind::TEXT || cell.kind == Cell::Kind::NAME) out += semikv::field(cell.text);
    else appendPlain(out, cell);
}

void appendCsvHeaderRow(std::string& out, std::span<const std::string_view> headers) {
    for (std::size_t i = 0; i < headers.size(); ++i) {
        if (i != 0) out += ',';
        out += headers[i];
    }
    out += '\n';
}
