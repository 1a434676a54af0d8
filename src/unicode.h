// Unicode services: UTF-8 decoding, extended grapheme clusters (UAX #29),
// simple lower-case mapping and the White_Space property.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace unicode {

// Decodes the code point at pos and advances pos past it. An ill-formed
// sequence yields U+FFFD and advances by one byte.
char32_t decodeUtf8(std::string_view s, std::size_t& pos);
void appendUtf8(std::string& out, char32_t cp);

// Byte offset of the grapheme cluster boundary that follows pos
// (pos < s.size()); s.size() at the end.
std::size_t nextGraphemeBoundary(std::string_view s, std::size_t pos);

// Number of extended grapheme clusters in s.
std::size_t graphemeCount(std::string_view s);

// Byte length of the first n grapheme clusters of s (all of s if it has fewer).
std::size_t graphemePrefixBytes(std::string_view s, std::size_t n);

// Simple (one-to-one) lower-case mapping of UnicodeData.txt.
char32_t toLowerSimple(char32_t cp);
std::string toLower(std::string_view utf8);

// The White_Space property of PropList.txt.
bool isWhiteSpace(char32_t cp);

} // namespace unicode
