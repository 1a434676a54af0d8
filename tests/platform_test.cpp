#include "platform/platform.h"

#include <algorithm>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testutil.h"

namespace {

using platform::ConversionError;
using platform::FileError;

std::string fileErrorOf(auto&& action) {
    try {
        action();
    } catch (const FileError& e) {
        return e.what();
    }
    return "no exception";
}

TEST(PlatformFilesTest, ExistenceFollowsSymlinks) {
    testutil::TempDir dir;
    std::string file = dir.write("f.txt", "x");
    ASSERT_EQ(::symlink(dir.path().c_str(), dir.file("dirlink").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("gone").c_str(), dir.file("dangling").c_str()), 0);

    EXPECT_TRUE(platform::exists(file));
    EXPECT_FALSE(platform::isDirectory(file));
    EXPECT_TRUE(platform::isDirectory(dir.file("dirlink")));
    EXPECT_FALSE(platform::exists(dir.file("dangling")));
    EXPECT_FALSE(platform::exists(dir.file("missing")));

    EXPECT_TRUE(platform::examineIsDirectory(dir.path()));
    EXPECT_FALSE(platform::examineIsDirectory(file));
    std::string missing = dir.file("missing");
    EXPECT_EQ(fileErrorOf([&] { platform::examineIsDirectory(missing); }),
              missing + ": No such file or directory");
}

TEST(PlatformFilesTest, MappingShowsTheWholeFile) {
    testutil::TempDir dir;
    std::string bytes("YLPR\0\x01\xFF", 7);
    platform::FileMapping map(dir.write("r.rpy", bytes));
    ASSERT_EQ(map.size(), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(map.data()), 7), bytes);

    platform::FileMapping empty(dir.write("empty.rpy", ""));
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_NE(empty.data(), nullptr);
}

TEST(PlatformFilesTest, MappingErrorsNameThePathAndReason) {
    testutil::TempDir dir;
    std::string missing = dir.file("none.rpy");
    EXPECT_EQ(fileErrorOf([&] { platform::FileMapping m(missing); }),
              missing + ": No such file or directory");
    EXPECT_EQ(fileErrorOf([&] { platform::FileMapping m(dir.path()); }), dir.path() + ": Is a directory");
}

TEST(PlatformFilesTest, ReadWriteAndList) {
    testutil::TempDir dir;
    std::string path = dir.file("out.txt");
    std::string bytes("line\nwith\0nul\xC3\xA9", 15);
    platform::writeFile(path, bytes);
    EXPECT_EQ(platform::readFile(path), bytes);
    platform::writeFile(path, "short"); // truncates
    EXPECT_EQ(platform::readFile(path), "short");

    dir.write("b.cst", "");
    auto names = platform::listDirectory(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"b.cst", "out.txt"}));

    std::string missing = dir.file("nodir");
    EXPECT_EQ(fileErrorOf([&] { platform::listDirectory(missing); }), missing + ": No such file or directory");
    EXPECT_EQ(fileErrorOf([&] { platform::readFile(missing); }), missing + ": No such file or directory");
    std::string inMissing = dir.file("nodir/x.txt");
    EXPECT_EQ(fileErrorOf([&] { platform::writeFile(inMissing, "x"); }),
              inMissing + ": No such file or directory");
}

TEST(PlatformFilesTest, CurrentDirectoryAndTerminals) {
    EXPECT_FALSE(platform::currentDirectory().empty());
    EXPECT_EQ(platform::currentDirectory().front(), '/');
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(platform::isTerminal(f));
    std::fclose(f);
}

TEST(CodePageTest, DecodesSingleBytePages) {
    EXPECT_EQ(platform::decodeCodePage("\xE9", 1252), "\u00e9");
    EXPECT_EQ(platform::decodeCodePage("\x80", 0), "\u20ac"); // 0 is Windows-1252
    EXPECT_EQ(platform::decodeCodePage("\x81\x8D\x8F\x90\x9D", 1252), "\u0081\u008d\u008f\u0090\u009d");
    EXPECT_EQ(platform::decodeCodePage("\x82", 437), "\u00e9");
    EXPECT_EQ(platform::decodeCodePage("\xA4", 28605), "\u20ac");
    EXPECT_EQ(platform::decodeCodePage("\xA4", 28591), "\u00a4");
    EXPECT_EQ(platform::decodeCodePage("\xC0", 1251), "\u0410");
    EXPECT_EQ(platform::decodeCodePage("a\xE9", 20127), "a\u00e9"); // undefined: same value
    EXPECT_EQ(platform::decodeCodePage(std::string("x\0y", 3), 1252), std::string("x\0y", 3));
}

TEST(CodePageTest, EncodesAndReplacesMissingCharacters) {
    EXPECT_EQ(platform::encodeCodePage("caf\u00e9", 1252), "caf\xE9");
    EXPECT_EQ(platform::encodeCodePage("caf\u00e9", 20127), "caf?");
    EXPECT_EQ(platform::encodeCodePage("\U0001F3C1!", 1252), "?!"); // one '?' per code point
    EXPECT_EQ(platform::encodeCodePage("\u0081", 1252), "\x81");
    // 0xAA is a hole in Windows-1253: it decodes to U+00AA but nothing encodes to it.
    EXPECT_EQ(platform::decodeCodePage("\xAA", 1253), "\u00aa");
    EXPECT_EQ(platform::encodeCodePage("\u00aa", 1253), "?");
}

TEST(CodePageTest, EveryDefinedByteRoundTrips) {
    const unsigned pages[] = {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 437, 850, 28591, 28592,
                              28593, 28594, 28595, 28596, 28597, 28598, 28599, 28603, 28605, 20127};
    for (unsigned page : pages) {
        for (int b = 0; b < 256; ++b) {
            std::string byte(1, static_cast<char>(b));
            std::string utf8 = platform::decodeCodePage(byte, page);
            std::string back = platform::encodeCodePage(utf8, page);
            // A hole may decode to a character the page has elsewhere.
            EXPECT_TRUE(back == "?" || platform::decodeCodePage(back, page) == utf8)
                << "page " << page << " byte " << b;
        }
    }
    // Every byte of the pages without holes comes back.
    for (unsigned page : {1252u, 437u, 850u, 28591u, 28605u}) {
        for (int b = 0; b < 256; ++b) {
            std::string byte(1, static_cast<char>(b));
            EXPECT_EQ(platform::encodeCodePage(platform::decodeCodePage(byte, page), page), byte)
                << "page " << page << " byte " << b;
        }
    }
}

TEST(CodePageTest, Utf8PageReplacesIllFormedSequences) {
    EXPECT_EQ(platform::decodeCodePage("a\u00e9\U0001F3C1", 65001), "a\u00e9\U0001F3C1");
    std::string bad = platform::decodeCodePage("a\xC3", 65001);
    EXPECT_EQ(bad, "a\uFFFD");
    EXPECT_EQ(platform::encodeCodePage("\xFF", 65001), "\uFFFD");
}

TEST(CodePageTest, UnknownPageIsRefused) {
    for (unsigned page : {1u, 1249u, 1259u, 28600u, 65000u}) {
        try {
            platform::decodeCodePage("\xE9", page);
            ADD_FAILURE() << "decoded with page " << page;
        } catch (const ConversionError& e) {
            EXPECT_STREQ(e.what(), "Invalid argument");
        }
        EXPECT_THROW(platform::encodeCodePage("\u00e9", page), ConversionError);
    }
}

TEST(CodePageTest, CharsetNamesMapToPages) {
    EXPECT_EQ(platform::codePageForCharset("UTF-8"), 65001u);
    EXPECT_EQ(platform::codePageForCharset("ANSI_X3.4-1968"), 20127u);
    EXPECT_EQ(platform::codePageForCharset("US-ASCII"), 20127u);
    EXPECT_EQ(platform::codePageForCharset("ISO-8859-1"), 28591u);
    EXPECT_EQ(platform::codePageForCharset("ISO-8859-9"), 28599u);
    EXPECT_EQ(platform::codePageForCharset("ISO-8859-13"), 28603u);
    EXPECT_EQ(platform::codePageForCharset("ISO-8859-15"), 28605u);
    EXPECT_EQ(platform::codePageForCharset("ISO-8859-10"), 65001u);
    EXPECT_EQ(platform::codePageForCharset("CP1251"), 1251u);
    EXPECT_EQ(platform::codePageForCharset("IBM850"), 850u);
    EXPECT_EQ(platform::codePageForCharset("KOI8-R"), 65001u);
    EXPECT_EQ(platform::codePageForCharset(""), 65001u);
}

} // namespace
