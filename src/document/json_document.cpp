#include "document/json_document.h"

#include "document/version.h"

void appendJsonStart(std::string& out) {
    out += "{\n  \"generator\": \"gridtally ";
    out += programVersion;
    out += "\"";
}
