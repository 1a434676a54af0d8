#include "text/visible_text.h"

#include <cstddef>

#include "platform/utf8.h"

namespace {

bool isC0OrDelete(unsigned char b) { return (b < 0x20 && b != '\t') || b == 0x7F; }

// UTF-8 of U+0080 to U+009F is C2 followed by 80 to 9F. A C2 byte never
// continues another character, so byte pairs find exactly the characters a
// decoder would.
bool isC1At(std::string_view s, std::size_t i) {
    if (static_cast<unsigned char>(s[i]) != 0xC2 || i + 1 >= s.size()) return false;
    const auto next = static_cast<unsigned char>(s[i + 1]);
    return next >= 0x80 && next <= 0x9F;
}

} // namespace

bool hasControlCharacters(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i)
        if (isC0OrDelete(static_cast<unsigned char>(utf8[i])) || isC1At(utf8, i)) return true;
    return false;
}

std::string visibleText(std::string text) {
    // Almost every name has none: it comes back as it is, without a copy.
    if (!hasControlCharacters(text)) return text;
    std::string shown;
    shown.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == 0x7F) {
            shown += "\xE2\x90\xA1"; // U+2421 SYMBOL FOR DELETE
        } else if (isC0OrDelete(b)) {
            shown += "\xE2\x90"; // U+2400 + b is E2 90 (80 + b)
            shown += static_cast<char>(0x80 + b);
        } else if (isC1At(text, i)) {
            shown += "\xEF\xBF\xBD"; // U+FFFD REPLACEMENT CHARACTER
            ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

std::string wellFormedVisibleText(std::string text) {
    std::string shown;
    std::size_t i = 0;
    bool changed = false;
    while (i < text.size()) {
        const std::size_t start = i;
        const char32_t c = unicode::decodeUtf8(text, i);
        const bool control = (c < 0x20 && c != '\t') || (c >= 0x7F && c <= 0x9F);
        const bool illFormed = c == 0xFFFD && text.compare(start, i - start, "\xEF\xBF\xBD") != 0;
        if (control || illFormed) {
            if (!changed) shown.assign(text, 0, start);
            changed = true;
            if (c < 0x20) unicode::appendUtf8(shown, 0x2400 + c);
            else if (c == 0x7F) shown += "\xE2\x90\xA1"; // U+2421 SYMBOL FOR DELETE
            else shown += "\xEF\xBF\xBD";
        } else if (changed) {
            shown.append(text, start, i - start);
        }
    }
    return changed ? shown : text;
}
