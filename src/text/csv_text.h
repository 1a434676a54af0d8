// CSV text (RFC 4180) for the report writers.
#pragma once

#include <string>
#include <string_view>

// Appends value as one field: as it is, or between double quotes with its
// quotes doubled when it holds a comma, a double quote, CR or LF.
void appendCsvField(std::string& out, std::string_view value);

// Appends a name from outside as one field. A name that a spreadsheet would
// take for a formula (starting with '=', '+', '-', '@', TAB or CR) gets a
// leading "'", which makes it text there.
void appendCsvName(std::string& out, std::string_view name);
