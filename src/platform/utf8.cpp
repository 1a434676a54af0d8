#include "platform/utf8.h"

namespace unicode {

namespace {

constexpr char32_t replacementChar = 0xFFFD;
constexpr char32_t maxCodePoint = 0x10FFFF;

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

bool isSurrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

} // namespace

char32_t decodeUtf8(std::string_view s, std::size_t& pos) {
    if (pos >= s.size())
        return replacementChar;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }

    std::size_t len;
    char32_t cp;
    // Bounds of the second byte; they exclude overlong forms, surrogates and
    // values above U+10FFFF.
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0;
        else if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        ++pos;
        return replacementChar;
    }

    if (s.size() - pos < len || byte(pos + 1) < lo || byte(pos + 1) > hi) {
        ++pos;
        return replacementChar;
    }
    for (std::size_t i = 1; i < len; ++i) {
        const unsigned char b = byte(pos + i);
        if (!isContinuation(b)) {
            ++pos;
            return replacementChar;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    pos += len;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    // Surrogates and values past U+10FFFF have no UTF-8 form.
    if (cp > maxCodePoint || isSurrogate(cp))
        cp = replacementChar;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace unicode
