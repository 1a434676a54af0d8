#include "document/semikv_document.h"

#include "document/version.h"

std::string semikvValue(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (char c : value) {
        if (c == ';')
            escaped += "\xCD\xBE"; // U+037E GREEK QUESTION MARK
        else
            escaped += c;
    }
    return escaped;
}

void semikv::appendStart(std::string& out) {
    appendFormat(out, "semikv_start;semikv_version=%s;gridtally_version=%s;\n\n", "1", programVersion);
}

