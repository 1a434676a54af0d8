// UTF-8 decoding and encoding, which the system layer needs for its own
// conversions and everything above it shares.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace unicode {

// Decodes the code point at pos and advances pos past it. An ill-formed
// sequence yields U+FFFD and advances by one byte; at or past the end it
// yields U+FFFD and leaves pos alone.
char32_t decodeUtf8(std::string_view s, std::size_t& pos);
// Surrogates and values above U+10FFFF are written as U+FFFD.
void appendUtf8(std::string& out, char32_t cp);

} // namespace unicode
