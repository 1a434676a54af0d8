#include "text/code_page_text.h"

#include <stdexcept>

#include "platform/platform.h"

namespace {

std::string_view upToNul(std::string_view s) {
    std::size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// ASCII text is the same in every supported code page: it never reaches the
// converter.
template <class Convert>
std::string convertUnlessAscii(std::string_view text, Convert convert) {
    text = upToNul(text);
    if (isAscii(text)) return std::string(text);
    try {
        return convert(text);
    } catch (const platform::ConversionError& e) {
        throw std::runtime_error(std::string("Couldn't convert string: ") + e.what());
    }
}

} // namespace

std::string fromMultiByte(std::string_view bytes, unsigned codePage) {
    return convertUnlessAscii(bytes, [&](std::string_view t) { return platform::decodeCodePage(t, codePage); });
}

std::string toMultiByte(std::string_view utf8, unsigned codePage) {
    return convertUnlessAscii(utf8, [&](std::string_view t) { return platform::encodeCodePage(t, codePage); });
}
