#include "text/json_text.h"

#include "platform/utf8.h"

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

void appendEscaped(std::string& out, char32_t c) {
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
    }
    const char escape[] = {'\\', 'u', hexDigits[(c >> 12) & 0xF], hexDigits[(c >> 8) & 0xF], hexDigits[(c >> 4) & 0xF],
                           hexDigits[c & 0xF]};
    out.append(escape, sizeof escape);
}

// Printable ASCII other than '"' and '\' goes out as it is; so do '<', '>'
// and '&' escaped, so that the JSON may sit in a <script> block of a page.
constexpr bool plain(unsigned char b) {
    return b >= 0x20 && b < 0x7F && b != '"' && b != '\\' && b != '<' && b != '>' && b != '&';
}

// Line and paragraph separators end a line of script before ES2019.
constexpr bool escapedAbove7F(char32_t c) { return c <= 0x9F || c == 0x2028 || c == 0x2029; }

} // namespace

void appendJsonString(std::string& out, std::string_view value) {
    out += '"';
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < value.size()) {
        const auto b = static_cast<unsigned char>(value[i]);
        if (plain(b)) {
            ++i;
            continue;
        }
        out.append(value, copied, i - copied);
        if (b < 0x80) {
            appendEscaped(out, b);
            ++i;
        } else {
            const std::size_t start = i;
            const char32_t c = unicode::decodeUtf8(value, i);
            if (escapedAbove7F(c))
                appendEscaped(out, c);
            else if (c == 0xFFFD) // also for the bytes of an ill-formed sequence
                out += "\xEF\xBF\xBD";
            else
                out.append(value, start, i - start);
        }
        copied = i;
    }
    out.append(value, copied);
    out += '"';
}
