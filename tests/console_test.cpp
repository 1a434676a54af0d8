#include "cli/console.h"

#include <cstdio>
#include <stdexcept>

#include <gtest/gtest.h>

#include "testutil.h"
#include "text/format.h"

namespace {

using testutil::TempStream;

TEST(ConsoleTest, RedirectedStreamInAutomaticModeGetsUtf8Unchanged) {
    TempStream out;
    ConsoleOutput con(out.get(), 20127);
    EXPECT_FALSE(con.converts());
    con.writeLine(formatText("%s|%-4s|%d", "Fran\u00e7ois", "\u00e9", 7));
    con.writeLine("caf\u00e9 3");
    con.writeText("\U0001F3C1");
    EXPECT_EQ(out.contents(), "Fran\u00e7ois|\u00e9   |7\ncaf\u00e9 3\n\U0001F3C1");
}

TEST(ConsoleTest, ForcedConversionUsesTheConsoleCodePage) {
    TempStream out;
    ConsoleOutput ascii(out.get(), 20127);
    ConsoleOutput western(out.get(), 1252);
    ascii.mode(ConvertMode::ALWAYS);
    western.mode(ConvertMode::ALWAYS);
    EXPECT_TRUE(ascii.converts());

    ascii.writeLine("caf\u00e9 \U0001F3C1");
    western.writeLine("caf\u00e9 \u20ac");
#ifdef _WIN32
    EXPECT_EQ(out.contents(), "caf? ??\ncaf\xE9 \x80\n"); // the system replaces each UTF-16 unit
#else
    EXPECT_EQ(out.contents(), "caf? ?\ncaf\xE9 \x80\n");
#endif

    ConsoleOutput unknown(out.get(), 4242);
    unknown.mode(ConvertMode::ALWAYS);
    EXPECT_EQ(testutil::errorOf([&] { unknown.writeText("\u00e9"); }).rfind("Couldn't convert string: ", 0), 0u);
}

TEST(ConsoleTest, ModeDecidesTheConversion) {
    TempStream out;
    ConsoleOutput con(out.get(), 1252);
    con.mode(ConvertMode::ALWAYS);
    EXPECT_TRUE(con.converts());
    con.mode(ConvertMode::AUTO);
    EXPECT_FALSE(con.converts()); // a temporary file is no terminal
    con.mode(ConvertMode::NEVER);
    EXPECT_FALSE(con.converts());
}

TEST(ConsoleTest, AsciiIsTheSameInEveryMode) {
    for (ConvertMode m : {ConvertMode::NEVER, ConvertMode::AUTO, ConvertMode::ALWAYS}) {
        TempStream out;
        ConsoleOutput con(out.get(), 20127);
        con.mode(m);
        con.writeLine("ab   |007");
        EXPECT_EQ(out.contents(), "ab   |007\n");
    }
}

TEST(ConsoleTest, CharacterSplitOverTwoWritesIsHeldBackUntilComplete) {
    TempStream out;
    ConsoleOutput con(out.get(), 65001);
    con.writeText("ab\xE2\x82"); // first two bytes of the euro sign
    EXPECT_EQ(out.contents(), "ab");
    con.writeText("\xAC!");
    EXPECT_EQ(out.contents(), "ab\u20ac!");

    con.writeText("x\xF0");
    EXPECT_EQ(out.contents(), "ab\u20ac!x");
    con.writeText("\x9F\x8F\x81");
    EXPECT_EQ(out.contents(), "ab\u20ac!x\U0001F3C1");
}

TEST(ConsoleTest, WriteTextPassesTextUnformattedAndHoldsBackOnlyTheSplitCharacter) {
    TempStream out;
    ConsoleOutput con(out.get(), 65001);
    const std::string big(1 << 20, 'r');
    con.writeText(big + "100% \xE2\x82");
    EXPECT_EQ(out.contents(), big + "100% ");
    con.writeText("\xAC %d");
    EXPECT_EQ(out.contents(), big + "100% \u20ac %d");
    con.writeText("");
    EXPECT_EQ(out.contents(), big + "100% \u20ac %d");
}

TEST(ConsoleTest, SplitCharacterIsConvertedWhole) {
    TempStream out;
    ConsoleOutput con(out.get(), 1252);
    con.mode(ConvertMode::ALWAYS);
    con.writeText("\xC3");
    EXPECT_EQ(out.contents(), "");
    con.writeText("\xA9 ok");
    EXPECT_EQ(out.contents(), "\xE9 ok");
    con.writeText("caf\xC3\xA9 \xE2\x82");
    EXPECT_EQ(out.contents(), "\xE9 okcaf\xE9 ");
    con.writeText("\xAC");
    EXPECT_EQ(out.contents(), "\xE9 okcaf\xE9 \x80");
}

TEST(ConsoleTest, TheTailIsJudgedByItsLeadByte) {
    TempStream out;
    ConsoleOutput con(out.get(), 65001);
    con.writeText("a\xFF"); // 0xFF counts as complete
    EXPECT_EQ(out.contents(), "a\xFF");
    con.writeText("\xE2"); // a lone lead byte waits
    EXPECT_EQ(out.contents(), "a\xFF");
    con.writeText("\x82");
    EXPECT_EQ(out.contents(), "a\xFF");
    con.writeText("\xAC");
    EXPECT_EQ(out.contents(), "a\xFF\u20ac");
    // Surplus continuation bytes can never be completed: out at once.
    con.writeText("\xC3\xA9\xA9");
    EXPECT_EQ(out.contents(), "a\xFF\u20ac\xC3\xA9\xA9");
    con.writeText("\x80");
    EXPECT_EQ(out.contents(), "a\xFF\u20ac\xC3\xA9\xA9\x80");
}

} // namespace
