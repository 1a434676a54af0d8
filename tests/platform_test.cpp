#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "testutil.h"

namespace {

using platform::ConversionError;
using platform::FileError;

constexpr std::uint64_t anySize = UINT64_MAX;

std::string fileErrorOf(auto&& action) {
    try {
        action();
    } catch (const FileError& e) {
        return e.what();
    }
    return "no exception";
}

// The system's text for an error: an errno value on POSIX systems, a
// GetLastError code on Windows.
#ifdef _WIN32
std::string reason(int, unsigned long windowsCode) {
    ::SetLastError(windowsCode);
    return platform::lastErrorText();
}
#else
std::string reason(int posixErrno, unsigned long) { return std::strerror(posixErrno); }
#endif

#ifdef _WIN32
constexpr unsigned long fileNotFound = ERROR_FILE_NOT_FOUND, pathNotFound = ERROR_PATH_NOT_FOUND,
                        invalidParameter = ERROR_INVALID_PARAMETER;
#else
constexpr unsigned long fileNotFound = 0, pathNotFound = 0, invalidParameter = 0;
#endif

TEST(PlatformFilesTest, ExistenceAndDirectories) {
    testutil::TempDir dir;
    std::string file = dir.write("f.txt", "x");
    EXPECT_TRUE(platform::exists(file));
    EXPECT_FALSE(platform::isDirectory(file));
    EXPECT_TRUE(platform::exists(dir.path()));
    EXPECT_TRUE(platform::isDirectory(dir.path()));
    EXPECT_FALSE(platform::exists(dir.file("missing")));
    EXPECT_FALSE(platform::isDirectory(dir.file("missing")));
}

#ifndef _WIN32
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

}
#endif

TEST(PlatformFilesTest, FilesReadAtAnyOffsetOrMappedWhole) {
    testutil::TempDir dir;
    std::string bytes("YLPR\0\x01\xFF", 7);
    const platform::ReadOnlyFile file(dir.write("r.rpy", bytes));
    ASSERT_EQ(file.size(), 7u);
    std::uint8_t read[3] = {};
    file.readAt(4, read, 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read), 3), bytes.substr(4));
    EXPECT_EQ(fileErrorOf([&] { file.readAt(5, read, 3); }), file.path() + ": unexpected end of file");

    platform::FileMapping map(file);
    ASSERT_EQ(map.size(), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(map.data()), 7), bytes);

    platform::FileMapping empty(platform::ReadOnlyFile(dir.write("empty.rpy", "")));
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_NE(empty.data(), nullptr);
}

// Callers word the first two causes their own way, so each must be told
// apart from a file that exists but cannot be read.
TEST(PlatformFilesTest, OpenErrorsTellWhatThePathNames) {
    using Cause = platform::OpenError::Cause;
    testutil::TempDir dir;
    struct Case {
        std::string path;
        Cause cause;
        std::string message;
    };
    const std::string missing = dir.file("none.rpy"), inMissing = dir.file("nodir/x.rpy");
    std::vector<Case> cases = {
        {missing, Cause::UNEXAMINABLE, missing + ": " + reason(ENOENT, fileNotFound)},
        {inMissing, Cause::UNEXAMINABLE, inMissing + ": " + reason(ENOENT, pathNotFound)},
        {dir.path(), Cause::DIRECTORY, dir.path() + ": Is a directory"},
    };
#ifndef _WIN32
    const std::string fifo = dir.file("fifo.rpy");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    cases.push_back({fifo, Cause::UNREADABLE, fifo + ": not a regular file"});
    const std::string file = dir.write("f.rpy", "x");
    const std::string throughFile = file + "/x.rpy";
    cases.push_back({throughFile, Cause::UNEXAMINABLE, throughFile + ": " + reason(ENOTDIR, 0)});
#endif
    for (const Case& c : cases) {
        try {
            platform::ReadOnlyFile f(c.path);
            ADD_FAILURE() << c.path << " opened";
        } catch (const platform::OpenError& e) {
            EXPECT_EQ(e.cause(), c.cause) << c.path;
            EXPECT_EQ(e.what(), c.message);
        }
    }
}

TEST(PlatformFilesTest, ReadWriteAndList) {
    testutil::TempDir dir;
    std::string path = dir.file("out.txt");
    std::string bytes("line\nwith\0nul\xC3\xA9", 15);
    testutil::writeFile(path, bytes);
    EXPECT_EQ(platform::readFile(path, anySize), bytes);
    testutil::writeFile(path, "short"); // truncates
    EXPECT_EQ(platform::readFile(path, anySize), "short");

    dir.write("b.cst", "");
    auto names = platform::listDirectory(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"b.cst", "out.txt"}));

    std::string missing = dir.file("nodir");
    EXPECT_EQ(fileErrorOf([&] { platform::listDirectory(missing); }), missing + ": " + reason(ENOENT, pathNotFound));
    EXPECT_EQ(fileErrorOf([&] { platform::readFile(missing, anySize); }), missing + ": " + reason(ENOENT, fileNotFound));
    std::string inMissing = dir.file("nodir/x.txt");
    EXPECT_EQ(fileErrorOf([&] { testutil::writeFile(inMissing, "x"); }),
              inMissing + ": " + reason(ENOENT, pathNotFound));
}

TEST(PlatformFilesTest, TextFilesGetTheSystemsLineEnds) {
    testutil::TempDir dir;
    std::string path = dir.write("report.txt", "old contents that are longer\n");
    testutil::writeFile(path, "a\n\nb\r\nc", true);
#ifdef _WIN32
    EXPECT_EQ(platform::readFile(path, anySize), "a\r\n\r\nb\r\r\nc");
#else
    EXPECT_EQ(platform::readFile(path, anySize), "a\n\nb\r\nc");
#endif
    // The file was replaced in one step: nothing else is left in the directory.
    EXPECT_EQ(platform::listDirectory(dir.path()), std::vector<std::string>{"report.txt"});
}

TEST(PlatformFilesTest, OutputFileTakesEffectOnlyWhenCommitted) {
    testutil::TempDir dir;
    std::string path = dir.write("report.txt", "old");
    {
        platform::OutputFile dropped(path, false);
        dropped.write("never ");
        dropped.write("seen");
    }
    EXPECT_EQ(platform::readFile(path, anySize), "old");
    platform::OutputFile out(path, false);
    out.write("a\n");
    out.write(std::string(3 << 20, 'x')); // pieces of any size
    EXPECT_EQ(platform::readFile(path, anySize), "old");
    out.commit();
    EXPECT_EQ(platform::readFile(path, anySize), "a\n" + std::string(3 << 20, 'x'));
    EXPECT_EQ(platform::listDirectory(dir.path()), std::vector<std::string>{"report.txt"});
}

TEST(PlatformFilesTest, FailedWriteLeavesTheTargetAndNoTemporaryFile) {
    testutil::TempDir dir;
    dir.write("report.txt/inside", "kept");
    EXPECT_THROW(testutil::writeFile(dir.file("report.txt"), "new"), FileError);
    EXPECT_TRUE(platform::isDirectory(dir.file("report.txt")));
    EXPECT_EQ(platform::listDirectory(dir.path()), std::vector<std::string>{"report.txt"});
#ifdef _WIN32
    // A file another program holds open cannot be replaced.
    std::string held = dir.write("held.txt", "old");
    HANDLE h = ::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_THROW(testutil::writeFile(held, "new\n", true), FileError);
    ::CloseHandle(h);
    EXPECT_EQ(platform::readFile(held, anySize), "old");
    auto names = platform::listDirectory(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"held.txt", "report.txt"}));
#endif
}

TEST(PlatformFilesTest, AbsolutePaths) {
    const std::string cwd = platform::currentDirectory();
    const char sep = platform::pathSeparator;
    EXPECT_EQ(platform::absolutePath("x.txt"), cwd + (cwd.back() == sep ? "" : std::string(1, sep)) + "x.txt");
#ifdef _WIN32
    EXPECT_EQ(platform::absolutePath("C:\\r\\x.txt"), "C:\\r\\x.txt");
    EXPECT_EQ(platform::absolutePath("\\r\\x.txt"), cwd.substr(0, 2) + "\\r\\x.txt"); // the current drive
#else
    EXPECT_EQ(platform::absolutePath("/r/x.txt"), "/r/x.txt");
#endif
}

TEST(PlatformFilesTest, CurrentDirectoryAndTerminals) {
    const std::string cwd = platform::currentDirectory();
    ASSERT_FALSE(cwd.empty());
    EXPECT_EQ(cwd, std::filesystem::current_path().string());
#ifdef _WIN32
    EXPECT_EQ(cwd.substr(1, 2), ":\\");
#else
    EXPECT_EQ(cwd.front(), '/');
#endif
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(platform::isTerminal(f));
    std::fclose(f);
#ifdef _WIN32
    // A character device, but no console.
    std::FILE* nul = std::fopen("NUL", "w");
    ASSERT_NE(nul, nullptr);
    EXPECT_FALSE(platform::isTerminal(nul));
    std::fclose(nul);
#endif
}

TEST(CodePageTest, DecodesSingleBytePages) {
    EXPECT_EQ(platform::decodeCodePage("\xE9", 1252), "\u00e9");
    EXPECT_EQ(platform::decodeCodePage("\x80", 0), "\u20ac"); // 0 is Windows-1252
    EXPECT_EQ(platform::decodeCodePage("\x81\x8D\x8F\x90\x9D", 1252), "\u0081\u008d\u008f\u0090\u009d");
    EXPECT_EQ(platform::decodeCodePage("\x82", 437), "\u00e9");
    EXPECT_EQ(platform::decodeCodePage("\xA4", 28605), "\u20ac");
    EXPECT_EQ(platform::decodeCodePage("\xA4", 28591), "\u00a4");
    EXPECT_EQ(platform::decodeCodePage("\xC0", 1251), "\u0410");
#ifdef _WIN32
    EXPECT_EQ(platform::decodeCodePage("a\xE9", 20127), "ai"); // the system drops the high bit
#else
    EXPECT_EQ(platform::decodeCodePage("a\xE9", 20127), "a\u00e9"); // undefined: same value
#endif
    EXPECT_EQ(platform::decodeCodePage(std::string("x\0y", 3), 1252), std::string("x\0y", 3));
}

TEST(CodePageTest, EncodesAndReplacesMissingCharacters) {
    EXPECT_EQ(platform::encodeCodePage("caf\u00e9", 1252), "caf\xE9");
    EXPECT_EQ(platform::encodeCodePage("caf\u00e9", 20127), "caf?");
    EXPECT_EQ(platform::encodeCodePage("\u0081", 1252), "\x81");
    EXPECT_EQ(platform::encodeCodePage("\u00aa", 1253), "?"); // 0xAA is a hole in Windows-1253
#ifdef _WIN32
    // The system's default character stands for each UTF-16 unit; holes
    // decode to private-use characters.
    EXPECT_EQ(platform::encodeCodePage("\U0001F3C1!", 1252), "?" "?!");
    EXPECT_EQ(platform::decodeCodePage("\xAA", 1253), "\uf8f9");
#else
    EXPECT_EQ(platform::encodeCodePage("\U0001F3C1!", 1252), "?!"); // one '?' per code point
    EXPECT_EQ(platform::decodeCodePage("\xAA", 1253), "\u00aa"); // a hole decodes to its own value
#endif
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
#ifdef _WIN32
    // 1 to 3 name the OEM, Mac and thread code pages there; 65000 is UTF-7.
    const unsigned unknown[] = {1249u, 1259u, 28600u, 4242u};
#else
    const unsigned unknown[] = {1u, 1249u, 1259u, 28600u, 65000u};
#endif
    for (unsigned page : unknown) {
        try {
            platform::decodeCodePage("\xE9", page);
            ADD_FAILURE() << "decoded with page " << page;
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), reason(EINVAL, invalidParameter));
        }
        EXPECT_THROW(platform::encodeCodePage("\u00e9", page), ConversionError);
    }
}

#ifndef _WIN32
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
#endif

} // namespace
