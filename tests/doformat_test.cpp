#include "undead/doformat.h"

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

namespace {

std::string formatError(auto&&... call) {
    try {
        doformat(call...);
    } catch (const FormatException& e) {
        return e.what();
    }
    return "no exception";
}

TEST(DoformatTest, PlainTextAndPercent) {
    EXPECT_EQ(doformat("no directives"), "no directives");
    EXPECT_EQ(doformat("100%% sure"), "100% sure");
    EXPECT_EQ(doformat(""), "");
}

TEST(DoformatTest, StringsAndIntegers) {
    EXPECT_EQ(doformat("%s|%s|%s", "abc", 42, -7), "abc|42|-7");
    EXPECT_EQ(doformat("%d %u %X", -12, 12u, 0xBEEFu), "-12 12 BEEF");
    EXPECT_EQ(doformat("%d", std::uint64_t(18446744073709551615ull)), "18446744073709551615");
    EXPECT_EQ(doformat("%d", true), "1");
}

TEST(DoformatTest, ExtremeIntegersDoNotOverflow) {
    constexpr auto minI = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(doformat("%d", minI), "-9223372036854775808");
    EXPECT_EQ(doformat("%s", minI), "-9223372036854775808");
    EXPECT_EQ(doformat("%025d", minI), "-000009223372036854775808");
    EXPECT_EQ(doformat("", minI), "-9223372036854775808");
    EXPECT_EQ(doformat("%X", std::int64_t(-1)), "FFFFFFFFFFFFFFFF");
}

TEST(DoformatTest, WidthFlagsAndPrecision) {
    EXPECT_EQ(doformat("[%5s]", "ab"), "[   ab]");
    EXPECT_EQ(doformat("[%-5s]", "ab"), "[ab   ]");
    EXPECT_EQ(doformat("[%05d]", 42), "[00042]");
    EXPECT_EQ(doformat("[%05d]", -42), "[-0042]");
    EXPECT_EQ(doformat("[%-05d]", 42), "[42   ]");
    EXPECT_EQ(doformat("[%04X]", 0xAu), "[000A]");
    EXPECT_EQ(doformat("[%05s]", "ab"), "[   ab]"); // zero-fill is for numbers
    EXPECT_EQ(doformat("[%2s]", "abcdef"), "[abcdef]"); // width never cuts
    EXPECT_EQ(doformat("%-8.8s|", "abcdefghijk"), "abcdefgh|");
    EXPECT_EQ(doformat("%-8.8s|", "abc"), "abc     |");
    EXPECT_EQ(doformat("[%.0s]", "abc"), "[]");
    EXPECT_EQ(doformat("[%.3d]", 7), "[007]");
}

TEST(DoformatTest, StarTakesWidthAndPrecisionFromArguments) {
    EXPECT_EQ(doformat("[%*s]", 4, "ab"), "[  ab]");
    EXPECT_EQ(doformat("[%*s]", -4, "ab"), "[ab  ]");
    EXPECT_EQ(doformat("[%.*s]", 2, "abcd"), "[ab]");
    EXPECT_EQ(doformat("[%*.*s]", 5u, 2, "abcd"), "[   ab]");
    EXPECT_EQ(doformat("[%.*s]", -1, "abcd"), "[abcd]");
}

TEST(DoformatTest, WidthAndPrecisionCountGraphemeClusters) {
    // e + combining acute is one user-perceived character, so is CR LF.
    EXPECT_EQ(doformat("[%3s]", "e\u0301"), "[  e\u0301]");
    EXPECT_EQ(doformat("[%-3s]", "\u00e9"), "[\u00e9  ]");
    EXPECT_EQ(doformat("[%3s]", "\r\n"), "[  \r\n]");
    EXPECT_EQ(doformat("[%.2s]", "e\u0301xy"), "[e\u0301x]");
    EXPECT_EQ(doformat("[%.1s]", "\r\nx"), "[\r\n]");
    EXPECT_EQ(doformat("[%-4.2s]", "\u00fc\u00f6\u00e4"), "[\u00fc\u00f6  ]");
}

TEST(DoformatTest, ArgumentsArePlainValues) {
    EXPECT_EQ(doformat("%s and %d", "50%s", 3), "50%s and 3");
    EXPECT_EQ(doformat("x=", "%d%%"), "x=%d%%");
}

TEST(DoformatTest, UnconsumedArgumentsAreAppended) {
    EXPECT_EQ(doformat("a=%d ", 1, "rest", 2, -3), "a=1 rest2-3");
    EXPECT_EQ(doformat("", " accessing file ", "p: No such file"), " accessing file p: No such file");
}

TEST(DoformatTest, AppendFormatAddsTheSameTextAndLeavesTheTargetWholeOnErrors) {
    std::string out(100'000, 'x'); // longer than any one line, as a report is
    appendFormat(out, "%3s: %9s  %s\n", 7, "1:23.456", "Invalid");
    appendFormat(out, "|%-4s|", "\u00e9");
    EXPECT_EQ(out, std::string(100'000, 'x') + "  7:  1:23.456  Invalid\n|\u00e9   |");
    EXPECT_EQ(out.substr(100'000), doformat("%3s: %9s  %s\n", 7, "1:23.456", "Invalid") + doformat("|%-4s|", "\u00e9"));

    const std::string before = out;
    EXPECT_THROW(appendFormat(out, "abc %d", "text"), FormatException);
    EXPECT_THROW(appendFormat(out, "abc %s %s", "one"), FormatException);
    EXPECT_EQ(out, before);
}

TEST(DoformatTest, ErrorMessages) {
    EXPECT_EQ(formatError("%d"), "format error");
    EXPECT_EQ(formatError("%s %s", "one"), "format error");
    EXPECT_EQ(formatError("%d", "text"), "format error");
    EXPECT_EQ(formatError("%X", "text"), "format error");
    EXPECT_EQ(formatError("%q", 1), "format error");
    EXPECT_EQ(formatError("%\xC3\xA9", 1), "format error");
    EXPECT_EQ(formatError("%*d"), "too few arguments");
    EXPECT_EQ(formatError("%.*s"), "too few arguments");
    EXPECT_EQ(formatError("%*d", "wide", 1), "int argument expected");
    EXPECT_EQ(formatError("%.*s", "x", "abc"), "int argument expected");
    EXPECT_EQ(formatError("abc%"), "invalid specifier");
    EXPECT_EQ(formatError("%-05", 1), "invalid specifier");
    EXPECT_EQ(formatError("%5.", 1), "invalid specifier");
    EXPECT_EQ(formatError("%2147483648s", ""), "int overflow");
    EXPECT_EQ(formatError("%.99999999999s", ""), "int overflow");
    EXPECT_EQ(formatError("%*s", std::int64_t(1) << 40, ""), "int overflow");
}

} // namespace
