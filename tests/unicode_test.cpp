#include "text/unicode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kUcd = "/usr/share/unicode";
const char* const kBreakTest = "/usr/share/unicode/auxiliary/GraphemeBreakTest.txt";

std::string utf8(std::initializer_list<char32_t> cps) {
    std::string s;
    for (char32_t cp : cps)
        unicode::appendUtf8(s, cp);
    return s;
}

// Reads a UCD file; an absent file fails the calling test (CI installs the
// unicode-data package, so absence is a setup fault, not a reason to skip).
bool readUcdLines(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path);
    if (!in) {
        ADD_FAILURE() << "cannot open " << path
                      << " (install the Debian package unicode-data)";
        return false;
    }
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return true;
}

std::vector<std::size_t> boundaries(std::string_view s) {
    std::vector<std::size_t> out;
    for (std::size_t pos = 0; pos < s.size();) {
        std::size_t next = unicode::nextGraphemeBoundary(s, pos);
        if (next <= pos || next > s.size()) {
            ADD_FAILURE() << "boundary search from " << pos << " returned " << next;
            break;
        }
        out.push_back(next);
        pos = next;
    }
    return out;
}

// ---------------------------------------------------------------- UTF-8

TEST(UnicodeUtf8, DecodesEachSequenceLength) {
    const std::string s = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::size_t pos = 0;
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'A');
    EXPECT_EQ(pos, 1u);
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\u00E9');
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\u20AC');
    EXPECT_EQ(pos, 6u);
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\U0001F600');
    EXPECT_EQ(pos, 10u);
}

TEST(UnicodeUtf8, IllFormedGivesReplacementAndAdvancesOneByte) {
    const char* const cases[] = {
        "\x80",             // lone continuation
        "\xC0\x80",         // overlong NUL
        "\xC1\xBF",         // overlong
        "\xE0\x80\x80",     // overlong three-byte
        "\xED\xA0\x80",     // surrogate U+D800
        "\xF0\x80\x80\x80", // overlong four-byte
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xF5\x80\x80\x80", // lead byte never valid
        "\xFF",
        "\xE2\x82",         // truncated at the end
        "\xE2\x41\x41",     // continuation missing
        "\xF0\x9F\x98",     // truncated four-byte
    };
    for (const char* c : cases) {
        std::string s(c);
        std::size_t pos = 0;
        EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\uFFFD') << testing::PrintToString(s);
        EXPECT_EQ(pos, 1u) << testing::PrintToString(s);
    }
}

TEST(UnicodeUtf8, DecodesLimitsAndNul) {
    const std::string s("\0\xEF\xBF\xBF\xF4\x8F\xBF\xBF\xED\x9F\xBF", 11);
    std::size_t pos = 0;
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\0');
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\uFFFF');
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\U0010FFFF');
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\uD7FF');
    EXPECT_EQ(pos, s.size());
    // At the end nothing is read and pos stays.
    EXPECT_EQ(unicode::decodeUtf8(s, pos), U'\uFFFD');
    EXPECT_EQ(pos, s.size());
}

TEST(UnicodeUtf8, EncodeRoundTripsAndReplacesNonScalars) {
    for (char32_t cp : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
        std::string s;
        unicode::appendUtf8(s, cp);
        std::size_t pos = 0;
        EXPECT_EQ(unicode::decodeUtf8(s, pos), cp);
        EXPECT_EQ(pos, s.size());
    }
    EXPECT_EQ(utf8({0xD800}), "\xEF\xBF\xBD");
    EXPECT_EQ(utf8({0x110000}), "\xEF\xBF\xBD");
}

// ---------------------------------------------------------------- graphemes

TEST(UnicodeGrapheme, CombiningAccentJoinsItsBase) {
    const std::string s = utf8({U'e', 0x0301, U'x'});
    EXPECT_EQ(unicode::graphemeCount(s), 2u);
    EXPECT_EQ(unicode::nextGraphemeBoundary(s, 0), 3u);
    EXPECT_EQ(unicode::graphemePrefixBytes(s, 1), 3u);
}

TEST(UnicodeGrapheme, LineEndsAndControls) {
    EXPECT_EQ(unicode::graphemeCount("\r\n"), 1u);
    EXPECT_EQ(unicode::graphemeCount("\n\r"), 2u);
    EXPECT_EQ(unicode::graphemeCount("a\r\nb"), 3u);
    // A combining mark after a line end stands alone.
    EXPECT_EQ(unicode::graphemeCount(utf8({U'\n', 0x0301})), 2u);
}

TEST(UnicodeGrapheme, RegionalIndicatorsPairUp) {
    const char32_t d = 0x1F1E9, e = 0x1F1EA, f = 0x1F1EB;
    EXPECT_EQ(unicode::graphemeCount(utf8({d, e, f, d})), 2u);
    EXPECT_EQ(unicode::graphemeCount(utf8({d, e, f})), 2u);
    EXPECT_EQ(unicode::graphemePrefixBytes(utf8({d, e, f, d, e}), 2), 16u);
}

TEST(UnicodeGrapheme, EmojiZwjSequenceIsOneCluster) {
    // man, ZWJ, woman, ZWJ, girl
    const std::string family = utf8({0x1F468, 0x200D, 0x1F469, 0x200D, 0x1F467});
    EXPECT_EQ(unicode::graphemeCount(family), 1u);
    // ZWJ after a non-pictographic base does not glue the next emoji.
    EXPECT_EQ(unicode::graphemeCount(utf8({U'a', 0x200D, 0x1F469})), 2u);
}

TEST(UnicodeGrapheme, PrefixAndEdges) {
    EXPECT_EQ(unicode::graphemeCount(""), 0u);
    EXPECT_EQ(unicode::graphemePrefixBytes("", 3), 0u);
    const std::string s = utf8({U'\u00C9', U'a', U'e', 0x0301, 0x0308});
    EXPECT_EQ(unicode::graphemePrefixBytes(s, 0), 0u);
    EXPECT_EQ(unicode::graphemePrefixBytes(s, 2), 3u);
    EXPECT_EQ(unicode::graphemePrefixBytes(s, 3), s.size());
    EXPECT_EQ(unicode::graphemePrefixBytes(s, 99), s.size());
    EXPECT_EQ(unicode::nextGraphemeBoundary(s, s.size()), s.size());
    EXPECT_EQ(unicode::nextGraphemeBoundary(s, s.size() + 5), s.size());
}

TEST(UnicodeGrapheme, IllFormedBytesAreSingleClustersWithinBounds) {
    EXPECT_EQ(unicode::graphemeCount("a\x80\xFF" "b"), 4u);
    EXPECT_EQ(unicode::graphemeCount("ab\xE2\x82"), 4u);
    // Arbitrary bytes never stall or overrun the search.
    std::uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string s;
        for (int i = 0; i < 12; ++i) {
            seed = seed * 1664525u + 1013904223u;
            s.push_back(static_cast<char>(seed >> 24));
        }
        EXPECT_EQ(unicode::graphemeCount(s), boundaries(s).size());
    }
}

// Every line of the conformance file: "÷ 0020 × 0308 ÷ ..." where ÷ marks a
// boundary and × none.
TEST(UnicodeGrapheme, ConformanceFilePassesCompletely) {
    std::vector<std::string> lines;
    if (!readUcdLines(kBreakTest, lines))
        return;
    ASSERT_FALSE(lines.empty());
    const std::string version = std::string(unicode::detail::dataVersion());
    ASSERT_NE(lines[0].find("GraphemeBreakTest-" + version + ".txt"), std::string::npos)
        << "the tables come from Unicode " << version << " but " << kBreakTest
        << " starts with '" << lines[0]
        << "'; regenerate with python3 tools/gen_unicode.py";

    const std::string kBreak = "\xC3\xB7";   // ÷
    const std::string kNoBreak = "\xC3\x97"; // ×
    std::size_t checked = 0;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string data = lines[n].substr(0, lines[n].find('#'));
        std::istringstream tokens(data);
        std::string text;
        std::vector<std::size_t> expected;
        bool any = false;
        for (std::string tok; tokens >> tok;) {
            any = true;
            if (tok == kBreak) {
                if (!text.empty())
                    expected.push_back(text.size());
            } else if (tok != kNoBreak) {
                unicode::appendUtf8(text, static_cast<char32_t>(std::stoul(tok, nullptr, 16)));
            }
        }
        if (!any)
            continue;
        ++checked;
        EXPECT_EQ(boundaries(text), expected) << "line " << n + 1 << ": " << lines[n];
        EXPECT_EQ(unicode::graphemeCount(text), expected.size()) << "line " << n + 1;
        for (std::size_t k = 0; k < expected.size(); ++k)
            EXPECT_EQ(unicode::graphemePrefixBytes(text, k + 1), expected[k]) << "line " << n + 1;
    }
    EXPECT_GT(checked, 500u);
}

// ---------------------------------------------------------------- lower case

TEST(UnicodeLower, AsciiAndLatin) {
    for (char c = 'A'; c <= 'Z'; ++c)
        EXPECT_EQ(unicode::toLowerSimple(static_cast<char32_t>(c)), static_cast<char32_t>(c + 32));
    EXPECT_EQ(unicode::toLower("Hello, World 42!"), "hello, world 42!");
    EXPECT_EQ(unicode::toLower("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9"); // ÉTÉ -> été
    EXPECT_EQ(unicode::toLowerSimple(0x0100), 0x0101u); // alternating pairs
    EXPECT_EQ(unicode::toLowerSimple(0x0101), 0x0101u);
    EXPECT_EQ(unicode::toLowerSimple(0x0130), U'i');   // dotted capital I, simple form
    EXPECT_EQ(unicode::toLowerSimple(0x03A3), 0x03C3u); // sigma
    EXPECT_EQ(unicode::toLowerSimple(0x2126), 0x03C9u); // ohm sign
}

TEST(UnicodeLower, UncasedCharactersUnchanged) {
    for (char32_t cp : {U'1', U'_', U'\u00DF', U'\u20AC', U'\u4E2D', U'\U0001F600'})
        EXPECT_EQ(unicode::toLowerSimple(cp), cp);
    // Ill-formed bytes pass through untouched.
    EXPECT_EQ(unicode::toLower("A\xFF" "B\xE2\x82"), "a\xFF" "b\xE2\x82");
}

// Checks the packed table against UnicodeData.txt field 13 for every entry.
TEST(UnicodeLower, MatchesUnicodeData) {
    std::vector<std::string> lines;
    if (!readUcdLines(std::string(kUcd) + "/UnicodeData.txt", lines))
        return;
    std::size_t mapped = 0;
    for (const std::string& line : lines) {
        std::vector<std::string> f;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, ';');)
            f.push_back(field);
        if (f.size() < 14)
            continue;
        const char32_t cp = static_cast<char32_t>(std::stoul(f[0], nullptr, 16));
        const char32_t want = f[13].empty() ? cp : static_cast<char32_t>(std::stoul(f[13], nullptr, 16));
        mapped += !f[13].empty();
        EXPECT_EQ(unicode::toLowerSimple(cp), want) << "U+" << f[0];
    }
    EXPECT_GT(mapped, 1000u);
}

// ---------------------------------------------------------------- white space

TEST(UnicodeWhiteSpace, KnownMembersAndNonMembers) {
    for (char32_t cp : {0x09u, 0x0Au, 0x0Bu, 0x0Cu, 0x0Du, 0x20u, 0x85u, 0xA0u, 0x1680u,
                        0x2028u, 0x2029u, 0x202Fu, 0x205Fu, 0x3000u})
        EXPECT_TRUE(unicode::isWhiteSpace(cp)) << std::hex << static_cast<std::uint32_t>(cp);
    for (char32_t cp = 0x2000; cp <= 0x200A; ++cp)
        EXPECT_TRUE(unicode::isWhiteSpace(cp)) << std::hex << static_cast<std::uint32_t>(cp);
    for (char32_t cp : {0x1Cu, 0x1Du, 0x1Eu, 0x1Fu, 0x200Bu, 0x00u, 0x41u, 0xFEFFu, 0x180Eu})
        EXPECT_FALSE(unicode::isWhiteSpace(cp)) << std::hex << static_cast<std::uint32_t>(cp);
}

TEST(UnicodeWhiteSpace, MatchesPropListEverywhere) {
    std::vector<std::string> lines;
    if (!readUcdLines(std::string(kUcd) + "/PropList.txt", lines))
        return;
    std::vector<bool> want(0x110000, false);
    for (const std::string& line : lines) {
        if (line.find("; White_Space") == std::string::npos)
            continue;
        const std::string range = line.substr(0, line.find(' '));
        const std::size_t dots = range.find("..");
        const unsigned long first = std::stoul(range.substr(0, dots), nullptr, 16);
        const unsigned long last =
            dots == std::string::npos ? first : std::stoul(range.substr(dots + 2), nullptr, 16);
        for (unsigned long cp = first; cp <= last; ++cp)
            want[cp] = true;
    }
    for (char32_t cp = 0; cp < 0x110000; ++cp)
        if (unicode::isWhiteSpace(cp) != want[cp])
            ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(cp);
}

} // namespace
