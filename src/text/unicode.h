// Unicode services: UTF-8 decoding, extended grapheme clusters (UAX #29),
// simple lower-case mapping and the White_Space property.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/utf8.h"

namespace unicode {

// Byte offset of the grapheme cluster boundary that follows pos
// (pos < s.size()); s.size() at the end.
std::size_t nextGraphemeBoundary(std::string_view s, std::size_t pos);

// Number of extended grapheme clusters in s.
std::size_t graphemeCount(std::string_view s);

// Byte length of the first n grapheme clusters of s (all of s if it has fewer).
std::size_t graphemePrefixBytes(std::string_view s, std::size_t n);

// Simple (one-to-one) lower-case mapping of UnicodeData.txt.
char32_t toLowerSimple(char32_t cp);
// Maps each character with toLowerSimple; ill-formed bytes are copied as
// they are, so texts differing only there never compare equal.
std::string toLower(std::string_view utf8);

// The White_Space property of PropList.txt.
bool isWhiteSpace(char32_t cp);

// Generated tables (src/unicode_tables.cpp, made by tools/gen_unicode.py);
// only unicode.cpp and its tests look at them.
namespace detail {

// Grapheme_Cluster_Break values; the generator writes them by number.
enum GraphemeBreak : std::uint8_t {
    GB_OTHER, GB_CR, GB_LF, GB_CONTROL, GB_EXTEND, GB_ZWJ,
    GB_REGIONAL_INDICATOR, GB_PREPEND, GB_SPACING_MARK,
    GB_L, GB_V, GB_T, GB_LV, GB_LVT,
};

// A character class byte: bits 0-3 GraphemeBreak, bit 4
// Extended_Pictographic, bits 5-6 Indic_Conjunct_Break.
inline constexpr std::uint8_t breakMask = 0x0F;
inline constexpr std::uint8_t extPictBit = 0x10;
inline constexpr int inCBShift = 5;
enum InCB : std::uint8_t { INCB_NONE, INCB_CONSONANT, INCB_EXTEND, INCB_LINKER };

struct CharClassRange {
    char32_t first;
    char32_t last;
    std::uint8_t cls;
};

struct CodeRange {
    char32_t first;
    char32_t last;
};

// Every stride-th code point from first to last lower-cases to itself plus
// delta.
struct LowerRun {
    char32_t first;
    char32_t last;
    std::int32_t delta;
    std::uint32_t stride;
};

std::string_view dataVersion(); // e.g. "15.0.0"
bool dataHasInCB();
std::span<const CharClassRange> charClassTable();
std::span<const CodeRange> whiteSpaceTable();
std::span<const LowerRun> lowerTable();

// The class byte of cp (see above).
std::uint8_t charClass(char32_t cp);

} // namespace detail

} // namespace unicode
