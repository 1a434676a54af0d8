// Text saved as UTF-16 (Notepad's "Unicode") to UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The UTF-8 text of bytes that start with a UTF-16 byte-order mark (FF FE:
// little-endian, FE FF: big-endian), without the mark; none for any other
// bytes. A lone surrogate, or an odd last byte, becomes U+FFFD.
std::optional<std::string> utf16WithByteOrderMark(std::string_view bytes);
