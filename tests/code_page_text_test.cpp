#include "text/code_page_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include "encoded_text.h"
#include "platform/platform.h"
#include "testutil.h"

namespace {

using testutil::errorOf;

TEST(FromMultiByteTest, AsciiAndEmptyPassUnchanged) {
    EXPECT_EQ(fromMultiByte("Monza", 0), "Monza");
    EXPECT_EQ(fromMultiByte("", 0), "");
    // ASCII never reaches the converter, so even an unknown page is fine.
    EXPECT_EQ(fromMultiByte("Monza", 4242), "Monza");
    EXPECT_EQ(toMultiByte("Monza", 4242), "Monza");
}

TEST(FromMultiByteTest, StopsAtTheFirstNul) {
    EXPECT_EQ(fromMultiByte(std::string("Jim\0\xE9xx", 7), 0), "Jim");
    EXPECT_EQ(fromMultiByte(std::string("J\xE9\0rest", 7), 1252), "J\u00e9");
    EXPECT_EQ(toMultiByte(std::string("J\u00e9\0rest", 8), 1252), "J\xE9");
}

TEST(FromMultiByteTest, ConvertsThroughTheCodePage) {
    EXPECT_EQ(fromMultiByte("\xE9", 1252), "\u00e9");
    EXPECT_EQ(fromMultiByte("\x81", 0), "\u0081");
    EXPECT_EQ(fromMultiByte("N\xFCrburgring", 0), "N\u00fcrburgring");
    EXPECT_EQ(toMultiByte("N\u00fcrburgring", 1252), "N\xFCrburgring");
    EXPECT_EQ(toMultiByte("\u00e9", 20127), "?");
#ifdef _WIN32
    EXPECT_EQ(toMultiByte("\U0001F3C1", 1252), "??"); // one per UTF-16 unit, as the system does
#else
    EXPECT_EQ(toMultiByte("\U0001F3C1", 1252), "?");
#endif
}

TEST(FromMultiByteTest, UnknownPageFails) {
#ifdef _WIN32
    ::SetLastError(ERROR_INVALID_PARAMETER);
    const std::string expected = "Couldn't convert string: " + platform::lastErrorText();
#else
    const std::string expected = "Couldn't convert string: Invalid argument";
#endif
    EXPECT_EQ(errorOf([] { fromMultiByte("\xE9", 4242); }), expected);
    EXPECT_EQ(errorOf([] { toMultiByte("\u00e9", 4242); }), expected);
}

} // namespace
