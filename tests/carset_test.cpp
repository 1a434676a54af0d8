#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cstbuilder.h"
#include "data.h"
#include "gemplus.h"
#include "globals.h"
#include "testutil.h"

namespace {

using cstbuilder::CarsetSpec;
using cstbuilder::carsetBytes;
using cstbuilder::carsetText;

// Runs in a fresh temporary working directory with the standard-error
// console captured; restores both afterwards.
class CarsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldCwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }

    void TearDown() override {
        std::filesystem::current_path(oldCwd_);
    }

    std::string capturedErr() { return stderr_.text(); }

    void writeCarset(const std::string& path, const CarsetSpec& spec) {
        dir_.write(path, carsetBytes(spec));
    }

    static CarsetSpec matching(const std::string& cardir, const std::string& tag) {
        CarsetSpec spec;
        spec.cardir = cardir;
        spec.name = tag;
        return spec;
    }

    // The Name of the detected carset, or "" when none was loaded.
    static std::string loadedName() {
        if (!carsetLoaded(globals().carsetIni)) return "";
        return carsetValue("Carset", "Name", globals().carsetIni, "");
    }

    void loadText(const std::string& text) {
        const std::string path = dir_.write("loaded.cst", text);
        ASSERT_FALSE(loadCarset(path, globals().carsetIni).has_value());
    }

    testutil::StderrCapture stderr_;
    testutil::TempDir dir_;
    std::filesystem::path oldCwd_;
};

// ---- Built-in names and the carset year ------------------------------------

TEST_F(CarsetTest, BuiltInNamesAndFallbacksWithoutCarset) {
    EXPECT_EQ(teamName(5), "Team Lotus");
    EXPECT_EQ(chassisName(5), "Lotus 49");
    EXPECT_EQ(engineName(5), "Ford DFV V8");
    EXPECT_EQ(teamName(0), "Brabham Racing Organisation");
    EXPECT_EQ(engineName(6), "Honda V12");
    EXPECT_EQ(teamName(7), "unkTeam7");
    EXPECT_EQ(chassisName(7), "unkMake7");
    EXPECT_EQ(engineName(7), "unkEngine7");
    EXPECT_EQ(teamName(300), "unkTeam44");
    EXPECT_EQ(engineName(0xFFFFFFFFu), "unkEngine255");
    EXPECT_EQ(carsetYear(), 1967);
}

TEST_F(CarsetTest, CarsetNamesTakePrecedenceUnlessMissingOrEmpty) {
    CarsetSpec spec = matching("gem67", "Test");
    spec.cars = {{3, "Carset Team 3", std::nullopt, std::nullopt},
                 {5, "Lotus Works", "Lotus 49B", "Cosworth"},
                 {7, "Seven", "Car Seven", ""},
                 {9, "", "Nine", std::nullopt},
                 {300, "Three Hundred", std::nullopt, std::nullopt}};
    loadText(carsetText(spec));

    EXPECT_EQ(teamName(3), "Carset Team 3");
    EXPECT_EQ(engineName(3), "Weslake V12");
    EXPECT_EQ(teamName(5), "Lotus Works");
    EXPECT_EQ(chassisName(5), "Lotus 49B");
    EXPECT_EQ(engineName(5), "Cosworth");
    EXPECT_EQ(chassisName(7), "Car Seven");
    EXPECT_EQ(engineName(7), "unkEngine7");
    EXPECT_EQ(teamName(9), "unkTeam9");
    // The section is Car300, the fallback uses the low 8 bits.
    EXPECT_EQ(teamName(300), "Three Hundred");
    EXPECT_EQ(chassisName(300), "unkMake44");
    EXPECT_EQ(teamName(44), "unkTeam44");
    EXPECT_EQ(teamName(1), "Owen Racing Organisation");

    EXPECT_EQ(carValue(5, "Engine"), "Cosworth");
    EXPECT_EQ(carValue(5, "Missing"), "");
    EXPECT_EQ(carValue(6, "Team"), "");
}

TEST_F(CarsetTest, CarsetYearAcceptsOnlyASignedSixteenBitNumber) {
    struct Case {
        std::optional<std::string> year;
        int expected;
    };
    const Case cases[] = {
        {"1969", 1969},  {" 1969", 1969}, {"+1969", 1969}, {"-32768", -32768},
        {"32767", 32767}, {"1969a", 1967}, {"40000", 1967}, {"32768", 1967},
        {"", 1967},       {"-", 1967},    {"19 69", 1967},  {"99999999999999999999", 1967},
        {std::nullopt, 1967},
    };
    for (const Case& c : cases) {
        CarsetSpec spec = matching("gem67", "Y");
        spec.year = c.year;
        loadText(carsetText(spec));
        EXPECT_EQ(carsetYear(), c.expected) << (c.year ? "'" + *c.year + "'" : "missing");
    }
}

TEST(CarsetConvert, ToInt16) {
    EXPECT_EQ(toInt16("0"), 0);
    EXPECT_EQ(toInt16("-0"), 0);
    EXPECT_EQ(toInt16("007"), 7);
    EXPECT_EQ(toInt16("-32768"), -32768);
    EXPECT_EQ(toInt16("32767"), 32767);
    EXPECT_EQ(toInt16("32768"), std::nullopt);
    EXPECT_EQ(toInt16("-32769"), std::nullopt);
    EXPECT_EQ(toInt16("+"), std::nullopt);
    EXPECT_EQ(toInt16("--1"), std::nullopt);
    EXPECT_EQ(toInt16(" 1"), std::nullopt);
    EXPECT_EQ(toInt16("1 "), std::nullopt);
    EXPECT_EQ(toInt16("\xD9\xA1"), std::nullopt); // Arabic-Indic digit one
}

// ---- Strict lookups and loading --------------------------------------------

TEST_F(CarsetTest, StrictLookupAndKeyTest) {
    const IniSection carset = parseIni("Engines=root only\n[Carset]\nCarDir=x\n[Car0]\n");
    EXPECT_EQ(carsetValue("Carset", "CarDir", carset, "p.cst"), "x");
    try {
        carsetValue("Carset", "Year", carset, "dir/p.cst");
        ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "CST error: can't find key 'Year' in section 'Carset' reading file dir/p.cst");
    }
    EXPECT_THROW(carsetValue("Nope", "CarDir", carset, "p.cst"), std::runtime_error);
    EXPECT_TRUE(carsetHasKey("Carset", "CarDir", carset));
    EXPECT_FALSE(carsetHasKey("Carset", "Engines", carset));
    EXPECT_FALSE(carsetHasKey("", "Engines", carset));
    EXPECT_FALSE(carsetHasKey("Carset", "CarDir", IniSection{}));
}

TEST_F(CarsetTest, LoadFailuresNamePathAndKeepTarget) {
    IniSection target = parseIni("[Keep]\nk=v\n");

    EXPECT_FALSE(loadCarset("", target).has_value());
    EXPECT_TRUE(hasSection(target, "Keep"));

    const auto missing = loadCarset("nothere.cst", target);
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(std::string(missing->what()).rfind("nothere.cst: ", 0), 0u) << missing->what();

    dir_.write("bad.cst", "[Carset]\r\nName=x\r\n\r\nno equals\r\n");
    const auto bad = loadCarset("bad.cst", target);
    ASSERT_TRUE(bad.has_value());
    EXPECT_STREQ(bad->what(), "bad.cst: Syntax error at line 3");

    std::filesystem::create_directory("adir.cst");
    EXPECT_TRUE(loadCarset("adir.cst", target).has_value());

    EXPECT_TRUE(hasSection(target, "Keep"));
    EXPECT_EQ(target.sections.size(), 1u);
}

TEST_F(CarsetTest, LoadReadsWindows1252UpToFirstZeroByte) {
    // 0xE9 is e-acute in Windows-1252; a UTF-8 file is read as 1252 text too.
    dir_.write("a.cst", std::string("[Car0]\nTeam=Equipe Ligi\xE9r\nName=\xC3\xA9\n") + '\0' +
                            "no equals");
    IniSection target;
    ASSERT_FALSE(loadCarset("a.cst", target).has_value());
    EXPECT_EQ(getKey(getSection(target, "Car0"), "Team"), "Equipe Ligi\u00E9r");
    EXPECT_EQ(getKey(getSection(target, "Car0"), "Name"), "\u00C3\u00A9");

    // Parsing without sections succeeds but loads nothing.
    dir_.write("flat.cst", "CarDir=gem67\n");
    ASSERT_FALSE(loadCarset("flat.cst", target).has_value());
    EXPECT_FALSE(carsetLoaded(target));
}

// ---- Detection on real directory trees -------------------------------------

TEST(CarsetPaths, SearchDirectoriesNormaliseAsText) {
#ifdef _WIN32
    const std::vector<std::string> dirs = {"cst", ".", "\\GPL\\Mods\\GEM+", "C:\\Sierra\\gpl\\Mods\\GEM+",
                                           "C:\\Program Files (x86)\\GPL\\Mods\\GEM+"};
    for (std::size_t i = 0; i < dirs.size(); ++i) EXPECT_EQ(normalizePath(carsetSearchDirs[i]), dirs[i]);
    EXPECT_EQ(normalizePath("a//b/./c/../d/"), "a\\b\\d");
    EXPECT_EQ(normalizePath("a\\.\\b\\"), "a\\b");
    EXPECT_EQ(normalizePath("../a/../.."), "..\\..");
    EXPECT_EQ(normalizePath("/../a"), "\\a");
    EXPECT_EQ(normalizePath("C:/../a"), "C:\\a"); // nothing above a drive
#else
    for (std::string_view d : carsetSearchDirs) EXPECT_EQ(normalizePath(d), d);
    EXPECT_EQ(normalizePath("a//b/./c/../d/"), "a/b/d");
    EXPECT_EQ(normalizePath("../a/../.."), "../..");
    EXPECT_EQ(normalizePath("/../a"), "/a");
    EXPECT_EQ(normalizePath("a\\.\\b"), "a\\.\\b"); // a backslash is part of a name here
#endif
    EXPECT_EQ(normalizePath("./x/.."), ".");
    EXPECT_EQ(normalizePath(""), ".");
}

TEST(CarsetPaths, AbsoluteWindowsPathsAreMadeRelative) {
    EXPECT_TRUE(isAbsoluteWindowsPath("C:\\x.cst"));
    EXPECT_TRUE(isAbsoluteWindowsPath("\\\\server\\share\\x.cst"));
    EXPECT_FALSE(isAbsoluteWindowsPath("\\GPL\\x.cst")); // rooted on the current drive
    EXPECT_FALSE(isAbsoluteWindowsPath("C:x.cst"));
    EXPECT_FALSE(isAbsoluteWindowsPath("C:/x.cst"));
    EXPECT_FALSE(isAbsoluteWindowsPath("cst\\b.cst"));

    const std::string cst = "C:\\Sierra\\gpl\\Mods\\GEM+\\z.cst";
    EXPECT_EQ(relativeWindowsPath(cst, "C:\\Sierra\\gpl"), "Mods\\GEM+\\z.cst");
    EXPECT_EQ(relativeWindowsPath(cst, "c:\\SIERRA\\GPL\\"), "Mods\\GEM+\\z.cst"); // case does not count
    EXPECT_EQ(relativeWindowsPath(cst, "C:\\Users\\me"), "..\\..\\Sierra\\gpl\\Mods\\GEM+\\z.cst");
    EXPECT_EQ(relativeWindowsPath(cst, "C:\\"), "Sierra\\gpl\\Mods\\GEM+\\z.cst");
    EXPECT_EQ(relativeWindowsPath(cst, "C:\\Sierra\\gpl2"), "..\\gpl\\Mods\\GEM+\\z.cst");
    EXPECT_EQ(relativeWindowsPath("C:\\a", "C:\\a"), ".");
    EXPECT_EQ(relativeWindowsPath(cst, "D:\\games"), cst); // no way across drives
    EXPECT_EQ(relativeWindowsPath("\\\\srv\\gpl\\x.cst", "\\\\srv\\gpl\\y"), "..\\x.cst");
    EXPECT_EQ(relativeWindowsPath("\\\\srv\\gpl\\x.cst", "\\\\srv\\other"), "\\\\srv\\gpl\\x.cst");
}

TEST_F(CarsetTest, DetectsInCstDirectoryAndNamesItRelatively) {
    CarsetSpec spec = matching("gem67", "found");
    spec.cars = {{2, "Detected Team", std::nullopt, std::nullopt}};
    writeCarset("cst/b.cst", spec);
    detectCarset("Gem67");
    EXPECT_EQ(loadedName(), "found");
    EXPECT_EQ(teamName(2), "Detected Team");
#ifdef _WIN32
    EXPECT_EQ(capturedErr(), "Using carset file cst\\b.cst\n");
#else
    EXPECT_EQ(capturedErr(), "Using carset file cst/b.cst\n");
#endif
}

TEST_F(CarsetTest, DetectsInWorkingDirectoryCaseInsensitively) {
    writeCarset("b.cst", matching("GEM67", "dot"));
    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "dot");
    EXPECT_EQ(capturedErr(), "Using carset file " + testutil::nativePath("./b.cst") + "\n");
}

TEST_F(CarsetTest, TrailingSpaceInReplayNameDoesNotMatch) {
    writeCarset("cst/b.cst", matching("gem67 ", "stripped by the reader"));
    detectCarset("gem67 ");
    EXPECT_EQ(loadedName(), "");
    EXPECT_EQ(capturedErr(), "");
}

TEST_F(CarsetTest, NonAsciiNamesCompareCaseInsensitively) {
    writeCarset("cst/b.cst", matching("\u00C9T\u00C9", "accented"));
    detectCarset("\u00E9t\u00E9");
    EXPECT_EQ(loadedName(), "accented");
}

TEST_F(CarsetTest, OfTwoMatchesInOneDirectoryTheOneWithoutEnginesWins) {
    for (bool enginesFirst : {true, false}) {
        testutil::TempDir tree;
        std::filesystem::current_path(tree.path());
        globals().carsetIni = IniSection{};
        CarsetSpec withEngines = matching("gem67", "engines");
        withEngines.engines = "Ford";
        CarsetSpec plain = matching("gem67", "plain");
        tree.write("cst/a.cst", carsetBytes(enginesFirst ? withEngines : plain));
        tree.write("cst/b.cst", carsetBytes(enginesFirst ? plain : withEngines));
        detectCarset("gem67");
        EXPECT_EQ(loadedName(), "plain") << enginesFirst;
        std::filesystem::current_path(dir_.path());
    }
    EXPECT_EQ(capturedErr(), testutil::nativePath("Using carset file cst/b.cst\nUsing carset file cst/a.cst\n"));
}

TEST_F(CarsetTest, TwoMatchesWithEnginesLoadNothing) {
    CarsetSpec spec = matching("gem67", "engines");
    spec.engines = "";
    writeCarset("cst/a.cst", spec);
    writeCarset("b.cst", spec);
    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "");
    EXPECT_EQ(capturedErr(), "");
}

TEST_F(CarsetTest, SingleMatchWithEnginesIsUsed) {
    CarsetSpec spec = matching("gem67", "only");
    spec.engines = "Ford";
    writeCarset("cst/a.cst", spec);
    writeCarset("cst/other.cst", matching("gem69", "other"));
    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "only");
}

TEST_F(CarsetTest, EarlierDirectoryThenSmallerByteOrderWins) {
    writeCarset("cst/z.cst", matching("gem67", "cst z"));
    writeCarset("cst/a.cst", matching("gem67", "cst a"));
    writeCarset("cst/B.cst", matching("gem67", "cst B"));
    writeCarset("a.cst", matching("gem67", "dot a"));
    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "cst B");
    EXPECT_EQ(capturedErr(), "Using carset file " + testutil::nativePath("cst/B.cst") + "\n");
}

#ifdef _WIN32
// The install directories are real ones here. A CarDir of this test's own
// keeps other tests that detect carsets from matching these files.
TEST_F(CarsetTest, InstallDirectoriesAreNamedFromTheWorkingDirectory) {
    namespace fs = std::filesystem;
    const std::string cardir = "install-test-" + std::to_string(::GetCurrentProcessId());
    const fs::path sierra = "C:\\Sierra\\gpl\\Mods\\GEM+", rooted = "C:\\GPL\\Mods\\GEM+";
    std::vector<fs::path> created;
    for (const fs::path& top : {fs::path("C:\\Sierra"), fs::path("C:\\GPL")})
        if (!fs::exists(top)) created.push_back(top);
    std::error_code ec;
    fs::create_directories(sierra, ec);
    fs::create_directories(rooted, ec);
    if (!fs::is_directory(sierra) || !fs::is_directory(rooted)) GTEST_SKIP() << "cannot create C:\\Sierra, C:\\GPL";

    // Absolute candidates are named relative to the working directory (from
    // C:\Temp: ..\Sierra\...); paths rooted on the current drive stay as they are.
    std::string up;
    const std::string cwd = fs::current_path().string();
    ASSERT_EQ(cwd.substr(0, 3), "C:\\") << "the temporary directory is not on drive C:";
    for (std::size_t i = 3; i <= cwd.size(); ++i)
        if (i == cwd.size() || cwd[i] == '\\') up += "..\\";
    std::ofstream(sierra / "z.cst") << carsetText(matching(cardir, "sierra"));
    std::ofstream(rooted / "y.cst") << carsetText(matching(cardir, "rooted"));
    detectCarset(cardir);
    EXPECT_EQ(loadedName(), "rooted");
    fs::remove(rooted / "y.cst");
    globals().carsetIni = IniSection{};
    detectCarset(cardir);
    EXPECT_EQ(loadedName(), "sierra");
    EXPECT_EQ(capturedErr(), "Using carset file \\GPL\\Mods\\GEM+\\y.cst\n"
                             "Using carset file " + up + "Sierra\\gpl\\Mods\\GEM+\\z.cst\n");
    fs::remove(sierra / "z.cst");
    for (const fs::path& top : created) fs::remove_all(top, ec);
}
#else
TEST_F(CarsetTest, InstallDirectoriesAreSearchedAfterTheWorkingDirectory) {
    // On POSIX the Windows install paths are relative ones.
    writeCarset("C:/Program Files (x86)/GPL/Mods/GEM+/a.cst", matching("gem67", "program files"));
    writeCarset("C:/Sierra/gpl/Mods/GEM+/z.cst", matching("gem67", "sierra"));
    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "sierra");
    EXPECT_EQ(capturedErr(), "Using carset file C:/Sierra/gpl/Mods/GEM+/z.cst\n");

    globals().carsetIni = IniSection{};
    writeCarset("x.cst", matching("gem67", "dot"));
    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "dot");
}
#endif

TEST_F(CarsetTest, UnusableCandidatesAreSkippedSilently) {
    writeCarset("cst/a.CST", matching("gem67", "upper case extension"));
    dir_.write("cst/b.cst", "[Carset]\nCarDir=gem67\nbroken line\n");
    dir_.write("cst/c.cst", "CarDir=gem67\nName=no sections\n");
    CarsetSpec noCarDir;
    noCarDir.name = "no cardir";
    writeCarset("cst/d.cst", noCarDir);
    std::filesystem::create_directories("cst/e.cst/inner");
#ifdef _WIN32
    // No symbolic links or permission bits for a test to set here.
    dir_.write("cst/h.cst", carsetText(matching("gem67", "through link")));
#else
    std::filesystem::create_symlink("nowhere", "cst/f.cst");
    if (::geteuid() != 0) { // root reads anything
        dir_.write("cst/g.cst", "[Carset]\nCarDir=gem67\nName=unreadable\n");
        ::chmod("cst/g.cst", 0);
    }
    dir_.write("target.txt", carsetText(matching("gem67", "through link")));
    std::filesystem::create_symlink("../target.txt", "cst/h.cst");
#endif

    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "through link");
    EXPECT_EQ(capturedErr(), "Using carset file " + testutil::nativePath("cst/h.cst") + "\n");
}

TEST_F(CarsetTest, NoMatchLeavesCarsetAlone) {
    globals().carsetIni = parseIni("[Carset]\nName=previous\n");
    writeCarset("cst/a.cst", matching("gem69", "other"));
    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "previous");
    EXPECT_EQ(capturedErr(), "");
}

TEST_F(CarsetTest, SearchDirectoryThatIsAFileIsSkipped) {
    dir_.write("cst", "not a directory");
    writeCarset("a.cst", matching("gem67", "dot"));
    detectCarset("gem67");
    EXPECT_EQ(loadedName(), "dot");
}

TEST_F(CarsetTest, UnlistableSearchDirectoryFails) {
#ifdef _WIN32
    GTEST_SKIP() << "needs POSIX permission bits";
#else
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root";
    writeCarset("a.cst", matching("gem67", "dot"));
    std::filesystem::create_directory("cst");
    ::chmod("cst", 0);
    EXPECT_THROW(detectCarset("gem67"), std::runtime_error);
    EXPECT_EQ(loadedName(), "");
    ::chmod("cst", 0755);
#endif
}

} // namespace
