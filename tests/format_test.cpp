#include "text/format.h"

#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using detail::ArgKind;

// What the compiler accepts as a literal pattern: the same walk decides it.
constexpr bool fits(std::string_view fmt, std::initializer_list<ArgKind> kinds) {
    return detail::patternFits(fmt, std::span<const ArgKind>(kinds.begin(), kinds.size()));
}
constexpr ArgKind text = ArgKind::text, integer = ArgKind::integer;
static_assert(fits("plain 100%%", {}));
static_assert(fits("%s %d %u %X", {text, integer, integer, integer}));
static_assert(fits("%s", {integer})); // %s takes any value
static_assert(fits("[%-*.*s]", {integer, integer, text}));
static_assert(fits("%-05d|%.3s", {integer, text}));
static_assert(!fits("%d", {text}));
static_assert(!fits("%*s", {text, text}));
static_assert(!fits("%s %s", {text}));   // too few
static_assert(!fits("%s", {text, text})); // surplus
static_assert(!fits("%q", {integer}));
static_assert(!fits("abc%", {}));
static_assert(!fits("%5.", {integer}));
static_assert(fits("%2147483647s", {text}));
static_assert(!fits("%2147483648s", {text})); // would overflow as it runs
static_assert(!fits("%.2147483648s", {text}));

std::string formatError(std::string_view fmt, const auto&... args) {
    try {
        formatText(RuntimePattern{fmt}, args...);
    } catch (const FormatException& e) {
        return e.what();
    }
    return "no exception";
}

TEST(FormatTest, PlainTextAndPercent) {
    EXPECT_EQ(formatText("no directives"), "no directives");
    EXPECT_EQ(formatText("100%% sure"), "100% sure");
    EXPECT_EQ(formatText(""), "");
}

TEST(FormatTest, StringsAndIntegers) {
    EXPECT_EQ(formatText("%s|%s|%s", "abc", 42, -7), "abc|42|-7");
    EXPECT_EQ(formatText("%d %u %X", -12, 12u, 0xBEEFu), "-12 12 BEEF");
    EXPECT_EQ(formatText("%d", std::uint64_t(18446744073709551615ull)), "18446744073709551615");
    EXPECT_EQ(formatText("%d", true), "1");
}

TEST(FormatTest, ExtremeIntegersDoNotOverflow) {
    constexpr auto minI = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(formatText("%d", minI), "-9223372036854775808");
    EXPECT_EQ(formatText("%s", minI), "-9223372036854775808");
    EXPECT_EQ(formatText("%025d", minI), "-000009223372036854775808");
    EXPECT_EQ(formatText(RuntimePattern{""}, minI), "-9223372036854775808");
    EXPECT_EQ(formatText("%X", std::int64_t(-1)), "FFFFFFFFFFFFFFFF");
}

TEST(FormatTest, WidthFlagsAndPrecision) {
    EXPECT_EQ(formatText("[%5s]", "ab"), "[   ab]");
    EXPECT_EQ(formatText("[%-5s]", "ab"), "[ab   ]");
    EXPECT_EQ(formatText("[%05d]", 42), "[00042]");
    EXPECT_EQ(formatText("[%05d]", -42), "[-0042]");
    EXPECT_EQ(formatText("[%-05d]", 42), "[42   ]");
    EXPECT_EQ(formatText("[%04X]", 0xAu), "[000A]");
    EXPECT_EQ(formatText("[%05s]", "ab"), "[   ab]"); // zero-fill is for numbers
    EXPECT_EQ(formatText("[%2s]", "abcdef"), "[abcdef]"); // width never cuts
    EXPECT_EQ(formatText("%-8.8s|", "abcdefghijk"), "abcdefgh|");
    EXPECT_EQ(formatText("%-8.8s|", "abc"), "abc     |");
    EXPECT_EQ(formatText("[%.0s]", "abc"), "[]");
    EXPECT_EQ(formatText("[%.3d]", 7), "[007]");
}

TEST(FormatTest, StarTakesWidthAndPrecisionFromArguments) {
    EXPECT_EQ(formatText("[%*s]", 4, "ab"), "[  ab]");
    EXPECT_EQ(formatText("[%*s]", -4, "ab"), "[ab  ]");
    EXPECT_EQ(formatText("[%.*s]", 2, "abcd"), "[ab]");
    EXPECT_EQ(formatText("[%*.*s]", 5u, 2, "abcd"), "[   ab]");
    EXPECT_EQ(formatText("[%.*s]", -1, "abcd"), "[abcd]");
}

TEST(FormatTest, WidthAndPrecisionCountGraphemeClusters) {
    // e + combining acute is one user-perceived character, so is CR LF.
    EXPECT_EQ(formatText("[%3s]", "e\u0301"), "[  e\u0301]");
    EXPECT_EQ(formatText("[%-3s]", "\u00e9"), "[\u00e9  ]");
    EXPECT_EQ(formatText("[%3s]", "\r\n"), "[  \r\n]");
    EXPECT_EQ(formatText("[%.2s]", "e\u0301xy"), "[e\u0301x]");
    EXPECT_EQ(formatText("[%.1s]", "\r\nx"), "[\r\n]");
    EXPECT_EQ(formatText("[%-4.2s]", "\u00fc\u00f6\u00e4"), "[\u00fc\u00f6  ]");
}

TEST(FormatTest, ArgumentsArePlainValues) {
    EXPECT_EQ(formatText("%s and %d", "50%s", 3), "50%s and 3");
    EXPECT_EQ(formatText(RuntimePattern{"x="}, "%d%%"), "x=%d%%");
}

TEST(FormatTest, RuntimePatternAppendsUnconsumedArguments) {
    EXPECT_EQ(formatText(RuntimePattern{"a=%d "}, 1, "rest", 2, -3), "a=1 rest2-3");
    EXPECT_EQ(formatText(RuntimePattern{""}, " accessing file ", "p: No such file"), " accessing file p: No such file");
    EXPECT_EQ(formatText(RuntimePattern{"%s|%5d"}, "ok", 42), formatText("%s|%5d", "ok", 42));
}

TEST(FormatTest, AppendFormatAddsTheSameTextAndLeavesTheTargetWholeOnErrors) {
    std::string out(100'000, 'x'); // longer than any one line, as a report is
    appendFormat(out, "%3s: %9s  %s\n", 7, "1:23.456", "Invalid");
    appendFormat(out, "|%-4s|", "\u00e9");
    EXPECT_EQ(out, std::string(100'000, 'x') + "  7:  1:23.456  Invalid\n|\u00e9   |");
    EXPECT_EQ(out.substr(100'000), formatText("%3s: %9s  %s\n", 7, "1:23.456", "Invalid") + formatText("|%-4s|", "\u00e9"));

    const std::string before = out;
    const FormatArg textArg[] = {std::string_view("text")};
    EXPECT_THROW(appendFormatArgs(out, "abc %d", textArg), FormatException);
    EXPECT_THROW(appendFormatArgs(out, "abc %s %s", textArg), FormatException);
    EXPECT_EQ(out, before);
}

// A pattern compiles exactly when it formats at run time with arguments of
// the same kinds (surplus arguments aside: only the compiler refuses them).
TEST(FormatTest, CompileTimeCheckAgreesWithTheFormatter) {
    using namespace std::literals;
    const std::vector<std::pair<std::string_view, std::vector<ArgKind>>> cases = {
        {"%%|%s", {text}},          {"%-0-0d", {integer}},       {"%*.*X", {integer, integer, integer}},
        {"%2147483647.0s", {text}}, {"%2147483648s", {text}},    {"%.21474836470d", {integer}},
        {"%*s", {text, text}},      {"%d", {text}},              {"%s %s", {text}},
        {"%-", {}},                 {"%.*", {integer}},          {"%\0s"sv, {text}},
        {"%ls", {text}},            {"%%%", {}},                 {"%0*.5u", {integer, integer}},
    };
    for (const auto& [pattern, kinds] : cases) {
        std::vector<FormatArg> args;
        for (ArgKind k : kinds)
            args.push_back(k == text ? FormatArg("x"sv) : FormatArg(std::int64_t(3)));
        bool formats = true;
        try {
            formatArgs(pattern, args);
        } catch (const FormatException&) {
            formats = false;
        }
        EXPECT_EQ(detail::patternFits(pattern, kinds), formats) << pattern;
    }
}

TEST(FormatTest, RuntimeErrorMessages) {
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
