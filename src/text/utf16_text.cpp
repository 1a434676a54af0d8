#include "text/utf16_text.h"

#include "platform/utf8.h"

std::optional<std::string> utf16WithByteOrderMark(std::string_view bytes) {
    if (bytes.size() < 2) return std::nullopt;
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    bool bigEndian = false;
    if (byte(0) == 0xFE && byte(1) == 0xFF) bigEndian = true;
    else if (byte(0) != 0xFF || byte(1) != 0xFE) return std::nullopt;
    const auto unit = [&](std::size_t i) -> char32_t {
        return bigEndian ? char32_t(byte(i) << 8 | byte(i + 1)) : char32_t(byte(i + 1) << 8 | byte(i));
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t u = unit(i);
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        if (high && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unicode::appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        // appendUtf8 writes a lone surrogate as U+FFFD.
        unicode::appendUtf8(out, u);
    }
    if (i < bytes.size()) unicode::appendUtf8(out, 0xFFFD);
    return out;
}
