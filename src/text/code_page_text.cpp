#include "text/code_page_text.h"

#include <stdexcept>

#include "platform/platform.h"

std::string fromMultiByte(std::string_view bytes, unsigned codePage) {
    bytes = bytes.substr(0, bytes.find('\0'));
    // ASCII text is the same in every supported code page: it never reaches
    // the converter.
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(bytes);
    try {
        return platform::decodeCodePage(bytes, codePage);
    } catch (const platform::ConversionError& e) {
        throw std::runtime_error(std::string("Couldn't convert string: ") + e.what());
    }
}
