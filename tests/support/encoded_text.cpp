#include "encoded_text.h"

#include <algorithm>
#include <stdexcept>

#include "platform/platform.h"
#include "text/html_text.h"

std::string toMultiByte(std::string_view utf8, unsigned codePage) {
    utf8 = utf8.substr(0, utf8.find('\0'));
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(utf8);
    try {
        return platform::encodeCodePage(utf8, codePage);
    } catch (const platform::ConversionError& e) {
        throw std::runtime_error(std::string("Couldn't convert string: ") + e.what());
    }
}

std::string htmlText(std::string_view text) {
    std::string out;
    appendHtmlText(out, text);
    return out;
}
