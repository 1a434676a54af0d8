#include "console.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "globals.h"
#include "testutil.h"

namespace {

// A temporary stream standing in for a redirected standard stream.
class TempStream {
public:
    TempStream() : f_(std::tmpfile()) {}
    explicit TempStream(const std::string& bytes) : f_(std::tmpfile()) {
        std::fwrite(bytes.data(), 1, bytes.size(), f_);
        std::rewind(f_);
    }
    ~TempStream() { std::fclose(f_); }
    TempStream(const TempStream&) = delete;
    TempStream& operator=(const TempStream&) = delete;

    std::FILE* get() const { return f_; }
    // Everything written so far.
    std::string contents() const {
        std::fflush(f_);
        long pos = std::ftell(f_);
        std::rewind(f_);
        std::string out;
        char buf[256];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f_)) > 0) out.append(buf, n);
        std::fseek(f_, pos, SEEK_SET);
        return out;
    }

private:
    std::FILE* f_;
};

class ConsoleTest : public ::testing::Test {
protected:
    void TearDown() override { resetGlobals(); }
};

class ConsoleInputTest : public ConsoleTest {};

TEST_F(ConsoleTest, RedirectedStreamInAutomaticModeGetsUtf8Unchanged) {
    globals().consoleOutputCodePage = 20127;
    TempStream out;
    ConsoleOutput con(out.get());
    EXPECT_EQ(con.mode(), ConvertMode::AUTO);
    EXPECT_FALSE(con.convert());
    con.writef("%s|%-4s|%d\n", "Fran\u00e7ois", "\u00e9", 7);
    con.writeln("caf\u00e9 ", 3);
    con.write("\U0001F3C1");
    EXPECT_EQ(out.contents(), "Fran\u00e7ois|\u00e9   |7\ncaf\u00e9 3\n\U0001F3C1");
}

TEST_F(ConsoleTest, ForcedConversionUsesTheConsoleCodePage) {
    TempStream out;
    ConsoleOutput con(out.get());
    con.setConvert(true);
    EXPECT_EQ(con.mode(), ConvertMode::ALWAYS);
    EXPECT_TRUE(con.convert());

    globals().consoleOutputCodePage = 20127;
    con.writefln("caf\u00e9 \U0001F3C1");
    globals().consoleOutputCodePage = 1252;
    con.writefln("caf\u00e9 %s", "\u20ac");
#ifdef _WIN32
    EXPECT_EQ(out.contents(), "caf? ??\ncaf\xE9 \x80\n"); // the system replaces each UTF-16 unit
#else
    EXPECT_EQ(out.contents(), "caf? ?\ncaf\xE9 \x80\n");
#endif
}

TEST_F(ConsoleTest, ModeChangesRecomputeTheSwitch) {
    TempStream out;
    ConsoleOutput con(out.get());
    con.setConvert(true);
    con.mode(ConvertMode::AUTO);
    EXPECT_FALSE(con.convert()); // a temporary file is no terminal
    con.setConvert(false);
    EXPECT_EQ(con.mode(), ConvertMode::NEVER);
    con.convert(true); // overrides the switch, not the mode
    EXPECT_TRUE(con.convert());
    EXPECT_EQ(con.mode(), ConvertMode::NEVER);

    TempStream in("");
    ConsoleInput cin(in.get());
    EXPECT_FALSE(cin.convert());
    cin.setConvert(true);
    EXPECT_TRUE(cin.convert());
    EXPECT_EQ(cin.mode(), ConvertMode::ALWAYS);
}

TEST_F(ConsoleTest, AsciiIsTheSameInEveryMode) {
    globals().consoleOutputCodePage = 20127;
    for (ConvertMode m : {ConvertMode::NEVER, ConvertMode::AUTO, ConvertMode::ALWAYS}) {
        TempStream out;
        ConsoleOutput con(out.get());
        con.mode(m);
        con.writefln("%-5s|%03d", "ab", 7);
        EXPECT_EQ(out.contents(), "ab   |007\n");
    }
}

TEST_F(ConsoleTest, CharacterSplitOverTwoWritesIsHeldBackUntilComplete) {
    TempStream out;
    ConsoleOutput con(out.get());
    con.write("ab\xE2\x82"); // first two bytes of the euro sign
    EXPECT_EQ(out.contents(), "ab");
    con.write("\xAC!");
    EXPECT_EQ(out.contents(), "ab\u20ac!");

    con.write("x\xF0");
    EXPECT_EQ(out.contents(), "ab\u20ac!x");
    con.write("\x9F\x8F\x81");
    EXPECT_EQ(out.contents(), "ab\u20ac!x\U0001F3C1");
}

TEST_F(ConsoleTest, WriteTextPassesTextUnformattedAndHoldsBackOnlyTheSplitCharacter) {
    TempStream out;
    ConsoleOutput con(out.get());
    const std::string big(1 << 20, 'r');
    con.writeText(big + "100% \xE2\x82");
    EXPECT_EQ(out.contents(), big + "100% ");
    con.writeText("\xAC %d");
    EXPECT_EQ(out.contents(), big + "100% \u20ac %d");
    con.writeText("");
    EXPECT_EQ(out.contents(), big + "100% \u20ac %d");
}

TEST_F(ConsoleTest, SplitCharacterIsConvertedWhole) {
    globals().consoleOutputCodePage = 1252;
    TempStream out;
    ConsoleOutput con(out.get());
    con.setConvert(true);
    con.write("\xC3");
    EXPECT_EQ(out.contents(), "");
    con.write("\xA9 ok");
    EXPECT_EQ(out.contents(), "\xE9 ok");
    con.writeText("caf\xC3\xA9 \xE2\x82");
    EXPECT_EQ(out.contents(), "\xE9 okcaf\xE9 ");
    con.writeText("\xAC");
    EXPECT_EQ(out.contents(), "\xE9 okcaf\xE9 \x80");
}

TEST_F(ConsoleTest, FlushJudgesTheTailByItsLeadByte) {
    TempStream out;
    ConsoleOutput con(out.get());
    con.write("a\xFF"); // 0xFF counts as complete
    EXPECT_EQ(out.contents(), "a\xFF");
    con.write("\xE2"); // a lone lead byte waits
    EXPECT_EQ(out.contents(), "a\xFF");
    con.write("\x82");
    EXPECT_EQ(out.contents(), "a\xFF");
    con.write("\xAC");
    EXPECT_EQ(out.contents(), "a\xFF\u20ac");
    // Surplus continuation bytes can never be completed: out at once.
    con.write("\xC3\xA9\xA9");
    EXPECT_EQ(out.contents(), "a\xFF\u20ac\xC3\xA9\xA9");
    con.write("\x80");
    EXPECT_EQ(out.contents(), "a\xFF\u20ac\xC3\xA9\xA9\x80");
    con.flush(); // nothing left to write
    EXPECT_EQ(out.contents(), "a\xFF\u20ac\xC3\xA9\xA9\x80");
}

TEST_F(ConsoleTest, ProgramConsolesLiveInTheProgramState) {
    TempStream in("q\n"), out, err;
    resetGlobals(in.get(), out.get(), err.get());
    stdoutConsole().writeln("report");
    stderrConsole().writeln("notice");
    ASSERT_FALSE(stdinConsole().readLine());
    EXPECT_EQ(stdinConsole().line, "q\n");
    EXPECT_EQ(out.contents(), "report\n");
    EXPECT_EQ(err.contents(), "notice\n");
    EXPECT_EQ(&stdoutConsole(), globals().stdoutConsole.get());
}

TEST_F(ConsoleInputTest, CrLfEndsOneLineAndLastLineHasNoEnd) {
    TempStream in("ab\r\ncd");
    ConsoleInput con(in.get());
    EXPECT_FALSE(con.readLine());
    EXPECT_EQ(con.line, "ab\n");
    EXPECT_FALSE(con.readLine()); // pending line not consumed yet
    EXPECT_EQ(con.line, "ab\n");
    con.line.clear();
    EXPECT_FALSE(con.readLine());
    EXPECT_EQ(con.line, "cd");
    EXPECT_TRUE(con.eof);
    con.line.clear();
    EXPECT_TRUE(con.readLine());
    EXPECT_EQ(con.line, "");
}

TEST_F(ConsoleInputTest, LoneCrAndEmptyLines) {
    TempStream in("a\rb\r\n\nc\n\n");
    ConsoleInput con(in.get());
    std::vector<std::string> lines;
    while (!con.readLine()) {
        lines.push_back(con.line);
        con.line.clear();
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"a\n", "b\n", "\n", "c\n", "\n"}));
    EXPECT_TRUE(con.eof);
}

TEST_F(ConsoleInputTest, EmptyInputIsEndAtOnce) {
    TempStream in("");
    ConsoleInput con(in.get());
    EXPECT_TRUE(con.readLine());
    EXPECT_TRUE(con.eof);
}

TEST_F(ConsoleInputTest, ConvertedInputIsDecodedWithTheConsolePage) {
    TempStream in(std::string("caf\xE9\0x\n", 7));
    ConsoleInput con(in.get());
    con.setConvert(true);
    globals().consoleInputCodePage = 1252;
    EXPECT_FALSE(con.readLine());
    EXPECT_EQ(con.line, std::string("caf\u00e9\0x\n", 8)); // nothing after a NUL is lost
}

TEST_F(ConsoleInputTest, StreamErrorIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "the C runtime reports no error reading a write-only stream here";
#endif
    testutil::TempDir dir;
    std::FILE* writeOnly = std::fopen(dir.file("w.txt").c_str(), "w");
    ASSERT_NE(writeOnly, nullptr);
    ConsoleInput con(writeOnly);
    try {
        con.readLine();
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Read from console failed: Bad file descriptor");
    }
    std::fclose(writeOnly);
}

} // namespace
