#include "text/html_text.h"

#include "platform/utf8.h"

namespace {

// Bytes copied as they are: printable ASCII other than the five markup
// characters. Everything else takes the slow path.
constexpr bool plainByte(unsigned char b) {
    return b >= 0x20 && b < 0x7F && b != '&' && b != '<' && b != '>' && b != '"' && b != '\'';
}

bool isNoncharacter(char32_t cp) { return (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE; }

} // namespace

void appendHtmlText(std::string& out, std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t run = pos;
        while (run < text.size() && plainByte(static_cast<unsigned char>(text[run]))) ++run;
        out.append(text, pos, run - pos);
        pos = run;
        if (pos == text.size()) break;

        const auto b = static_cast<unsigned char>(text[pos]);
        switch (b) {
        case '&': out += "&amp;"; ++pos; continue;
        case '<': out += "&lt;"; ++pos; continue;
        case '>': out += "&gt;"; ++pos; continue;
        case '"': out += "&quot;"; ++pos; continue;
        case '\'': out += "&#39;"; ++pos; continue;
        default: break;
        }
        if (b < 0x20) {
            unicode::appendUtf8(out, 0x2400 + b);
            ++pos;
        } else if (b == 0x7F) {
            unicode::appendUtf8(out, 0x2421);
            ++pos;
        } else {
            // A well-formed sequence is copied; anything else, and characters
            // that a page may not hold, become U+FFFD.
            const std::size_t start = pos;
            const char32_t cp = unicode::decodeUtf8(text, pos);
            const bool replaced = cp == 0xFFFD && pos - start != 3;
            if (replaced || (cp >= 0x80 && cp <= 0x9F) || isNoncharacter(cp))
                unicode::appendUtf8(out, 0xFFFD);
            else
                out.append(text, start, pos - start);
        }
    }
}
