// Tables as data: a table's columns are listed once, each with its key in
// every keyed format and the function that gives its cell, and the JSON,
// CSV and semikv writers lay out any table from its list. A new column is
// one more line in its table's list.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "weekend/timing.h"

// One cell's value; each format writes it its own way.
struct Cell {
    // NAME: text from outside (a replay, a carset, a season file), which a
    // spreadsheet must never take for a formula.
    enum class Kind { MISSING, INTEGER, TEXT, NAME, TIME, BOOLEAN };
    Kind kind = Kind::MISSING;
    std::int64_t number = 0; // INTEGER, BOOLEAN; the milliseconds of a TIME
    std::string text;        // TEXT, NAME

    static Cell integer(std::int64_t value) { return {Kind::INTEGER, value, {}}; }
    static Cell string(std::string value) { return {Kind::TEXT, 0, std::move(value)}; }
    static Cell name(std::string value) { return {Kind::NAME, 0, std::move(value)}; }
    // As formatLapTime shows it; signed gaps as their bit pattern.
    static Cell time(std::uint32_t ms) { return {Kind::TIME, ms, {}}; }
    static Cell time(std::int32_t ms) { return time(static_cast<std::uint32_t>(ms)); }
    // The milliseconds as a number, missing for noTime.
    static Cell milliseconds(std::uint32_t ms) { return ms == noTime ? Cell() : integer(ms); }
    static Cell milliseconds(std::int32_t ms) { return milliseconds(static_cast<std::uint32_t>(ms)); }
    static Cell boolean(bool value) { return {Kind::BOOLEAN, value, {}}; }
};

// A column of a table of Row; a null key leaves it out of that format.
template <class Row>
struct Column {
    const char* json;
    const char* csv;
    const char* semikv;
    Cell (*cell)(const Row&);
};

template <class Row>
using Columns = std::span<const Column<Row>>;

// JSON: a missing cell is null, times and texts are strings.
void appendJsonCell(std::string& out, const Cell& cell);
// CSV: a missing cell is empty; a name guarded against formulas.
void appendCsvCell(std::string& out, const Cell& cell);
// semikv: a missing cell is empty, texts are shown visibly and escaped.
void appendSemikvCell(std::string& out, const Cell& cell);

// "key": value pairs of the row, joined by ", ", without braces.
template <class Row>
void appendJsonFields(std::string& out, Columns<Row> columns, const Row& row) {
    const char* separator = "\"";
    for (const Column<Row>& column : columns) {
        if (column.json == nullptr) continue;
        out += separator;
        separator = ", \"";
        out += column.json;
        out += "\": ";
        appendJsonCell(out, column.cell(row));
    }
}

// key=value; of the row, each key after prefix.
template <class Row>
void appendSemikvFields(std::string& out, Columns<Row> columns, const Row& row, std::string_view prefix = {}) {
    for (const Column<Row>& column : columns) {
        if (column.semikv == nullptr) continue;
        out += prefix;
        out += column.semikv;
        out += '=';
        appendSemikvCell(out, column.cell(row));
        out += ';';
    }
}

// The CSV headers of the columns, each after prefix and a comma.
template <class Row>
void appendCsvHeaders(std::string& out, Columns<Row> columns, std::string_view prefix = {}) {
    for (const Column<Row>& column : columns) {
        if (column.csv == nullptr) continue;
        out += ',';
        out += prefix;
        out += column.csv;
    }
}

// The row's CSV cells, each after a comma.
template <class Row>
void appendCsvCells(std::string& out, Columns<Row> columns, const Row& row) {
    for (const Column<Row>& column : columns) {
        if (column.csv == nullptr) continue;
        out += ',';
        appendCsvCell(out, column.cell(row));
    }
}

// A table of Row in a CSV document whose columns come in another order,
// or hold other tables' columns too: each of the document's headers gets
// the table's column of that header, or an empty cell.
template <class Row>
class CsvPlacement {
public:
    CsvPlacement(std::span<const std::string_view> headers, Columns<Row> columns) : slots_(headers.size()) {
        for (const Column<Row>& column : columns) {
            if (column.csv == nullptr) continue;
            std::size_t i = 0;
            while (i < headers.size() && headers[i] != column.csv) ++i;
            if (i == headers.size()) throw std::logic_error(std::string("no CSV column ") + column.csv);
            slots_[i] = &column;
        }
    }
    // The cells, joined by commas.
    void append(std::string& out, const Row& row) const {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (i != 0) out += ',';
            if (slots_[i] != nullptr) appendCsvCell(out, slots_[i]->cell(row));
        }
    }

private:
    std::vector<const Column<Row>*> slots_;
};

// The headers joined by commas.
void appendCsvHeaderRow(std::string& out, std::span<const std::string_view> headers);
