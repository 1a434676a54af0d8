#include "text/csv_text.h"

void appendCsvField(std::string& out, std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += value;
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void appendCsvName(std::string& out, std::string_view name) {
    if (name.empty() || std::string_view("=+-@\t\r").find(name.front()) == std::string_view::npos) {
        appendCsvField(out, name);
        return;
    }
    std::string guarded = "'";
    guarded += name;
    appendCsvField(out, guarded);
}
