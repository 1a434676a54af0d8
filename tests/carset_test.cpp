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
#include "carset/carset.h"
#include "carset/carset_search.h"
#include "testutil.h"

namespace {

using cstbuilder::CarsetSpec;
using cstbuilder::carsetBytes;
using cstbuilder::carsetText;

// Runs in a fresh temporary working directory; restores the old one
// afterwards.
class CarsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldCwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }

    void TearDown() override {
        std::filesystem::current_path(oldCwd_);
    }

    void writeCarset(const std::string& path, const CarsetSpec& spec) {
        dir_.write(path, carsetBytes(spec));
    }

    static CarsetSpec matching(const std::string& cardir, const std::string& tag) {
        CarsetSpec spec;
        spec.cardir = cardir;
        spec.name = tag;
        return spec;
    }

    // Detection's result becomes the carset the other helpers look at; no
    // match leaves none.
    void detect(const std::string& carsetName) { carset_ = detectCarset(carsetName).value_or(Carset{}); }

    // The Name of the carset, or "" when none was loaded.
    std::string loadedName() const {
        const std::string* name = carset_.loaded() ? carset_.find("Carset", "Name") : nullptr;
        return name ? *name : "";
    }

    // The path the carset was loaded from: the one its notice names.
    std::string foundPath() const { return carset_.path(); }

    void loadText(const std::string& text) { carset_ = Carset::load(dir_.write("loaded.cst", text)); }

    CarModelNames names(std::uint32_t carIndex) const { return carModelNames(carset_, carIndex); }

    testutil::TempDir dir_;
    std::filesystem::path oldCwd_;
    Carset carset_;
};

// ---- Built-in names and the carset year ------------------------------------

TEST_F(CarsetTest, BuiltInNamesAndFallbacksWithoutCarset) {
    EXPECT_EQ(names(5).team, "Team Lotus");
    EXPECT_EQ(names(5).chassis, "Lotus 49");
    EXPECT_EQ(names(5).engine, "Ford DFV V8");
    EXPECT_EQ(names(0).team, "Brabham Racing Organisation");
    EXPECT_EQ(names(6).engine, "Honda V12");
    EXPECT_EQ(names(7).team, "unkTeam7");
    EXPECT_EQ(names(7).chassis, "unkMake7");
    EXPECT_EQ(names(7).engine, "unkEngine7");
    EXPECT_EQ(names(300).team, "unkTeam44");
    EXPECT_EQ(names(0xFFFFFFFFu).engine, "unkEngine255");
    EXPECT_FALSE(carset_.loaded());
    EXPECT_EQ(carset_.year(), 1967);
}

TEST_F(CarsetTest, CarsetNamesTakePrecedenceUnlessMissingOrEmpty) {
    CarsetSpec spec = matching("gem67", "Test");
    spec.cars = {{3, "Carset Team 3", std::nullopt, std::nullopt},
                 {5, "Lotus Works", "Lotus 49B", "Cosworth"},
                 {7, "Seven", "Car Seven", ""},
                 {9, "", "Nine", std::nullopt},
                 {300, "Three Hundred", std::nullopt, std::nullopt}};
    loadText(carsetText(spec));

    EXPECT_EQ(names(3).team, "Carset Team 3");
    EXPECT_EQ(names(3).engine, "Weslake V12");
    EXPECT_EQ(names(5).team, "Lotus Works");
    EXPECT_EQ(names(5).chassis, "Lotus 49B");
    EXPECT_EQ(names(5).engine, "Cosworth");
    EXPECT_EQ(names(7).chassis, "Car Seven");
    EXPECT_EQ(names(7).engine, "unkEngine7");
    EXPECT_EQ(names(9).team, "unkTeam9");
    // The section is Car300, the fallback uses the low 8 bits.
    EXPECT_EQ(names(300).team, "Three Hundred");
    EXPECT_EQ(names(300).chassis, "unkMake44");
    EXPECT_EQ(names(44).team, "unkTeam44");
    EXPECT_EQ(names(1).team, "Owen Racing Organisation");

    EXPECT_EQ(*carset_.find("Car5", "Engine"), "Cosworth");
    EXPECT_EQ(carset_.find("Car5", "Missing"), nullptr);
    EXPECT_EQ(carset_.find("Car6", "Team"), nullptr);
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
        EXPECT_EQ(carset_.year(), c.expected) << (c.year ? "'" + *c.year + "'" : "missing");
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

TEST_F(CarsetTest, InfoTakesTheCarsetSectionAndEmptyFieldsForMissingKeys) {
    loadText("Engines=root only\n[Carset]\nName=Classic\nShortID=C67\nYear=1969\n[Car0]\n");
    const CarsetInfo info = carset_.info();
    EXPECT_EQ(info.name, "Classic");
    EXPECT_EQ(info.cardir, "");
    EXPECT_EQ(info.physics, "");
    EXPECT_EQ(info.shortid, "C67");
    EXPECT_EQ(info.year, 1969);
    EXPECT_EQ(carset_.find("Carset", "Engines"), nullptr);
    EXPECT_EQ(carset_.find("", "Engines"), nullptr);
    // A year that does not read as a number is 0 here, 1967 for the entries.
    loadText("[Carset]\nYear=1969a\n");
    EXPECT_EQ(carset_.info().year, 0);
    EXPECT_EQ(carset_.year(), 1967);
}

TEST_F(CarsetTest, LoadFailuresNameThePath) {
    auto loadError = [](const std::string& path) { return testutil::errorOf([&] { Carset::load(path); }); };
    EXPECT_EQ(loadError("nothere.cst").rfind("nothere.cst: ", 0), 0u) << loadError("nothere.cst");

    dir_.write("bad.cst", "[Carset]\r\nName=x\r\n\r\nno equals\r\n");
    EXPECT_EQ(loadError("bad.cst"), "bad.cst: Syntax error at line 3");

    std::filesystem::create_directory("adir.cst");
    EXPECT_EQ(loadError("adir.cst").rfind("adir.cst: ", 0), 0u) << loadError("adir.cst");
}

TEST_F(CarsetTest, LoadReadsWindows1252UpToFirstZeroByte) {
    // 0xE9 is e-acute in Windows-1252; a UTF-8 file is read as 1252 text too.
    loadText(std::string("[Car0]\nTeam=Equipe Ligi\xE9r\nName=\xC3\xA9\n") + '\0' + "no equals");
    EXPECT_EQ(*carset_.find("Car0", "Team"), "Equipe Ligi\u00E9r");
    EXPECT_EQ(*carset_.find("Car0", "Name"), "\u00C3\u00A9");
    EXPECT_EQ(carset_.path(), dir_.file("loaded.cst"));

    // Parsing without sections succeeds but loads nothing.
    loadText("CarDir=gem67\n");
    EXPECT_FALSE(carset_.loaded());
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
    detect("Gem67");
    EXPECT_EQ(loadedName(), "found");
    EXPECT_EQ(names(2).team, "Detected Team");
#ifdef _WIN32
    EXPECT_EQ(foundPath(), "cst\\b.cst");
#else
    EXPECT_EQ(foundPath(), "cst/b.cst");
#endif
}

TEST_F(CarsetTest, DetectsInWorkingDirectoryCaseInsensitively) {
    writeCarset("b.cst", matching("GEM67", "dot"));
    detect("gem67");
    EXPECT_EQ(loadedName(), "dot");
    EXPECT_EQ(foundPath(), testutil::nativePath("./b.cst"));
}

TEST_F(CarsetTest, TrailingSpaceInReplayNameDoesNotMatch) {
    writeCarset("cst/b.cst", matching("gem67 ", "stripped by the reader"));
    detect("gem67 ");
    EXPECT_EQ(loadedName(), "");
}

TEST_F(CarsetTest, NonAsciiNamesCompareCaseInsensitively) {
    writeCarset("cst/b.cst", matching("\u00C9T\u00C9", "accented"));
    detect("\u00E9t\u00E9");
    EXPECT_EQ(loadedName(), "accented");
}

TEST_F(CarsetTest, OfTwoMatchesInOneDirectoryTheOneWithoutEnginesWins) {
    for (bool enginesFirst : {true, false}) {
        testutil::TempDir tree;
        std::filesystem::current_path(tree.path());
        CarsetSpec withEngines = matching("gem67", "engines");
        withEngines.engines = "Ford";
        CarsetSpec plain = matching("gem67", "plain");
        tree.write("cst/a.cst", carsetBytes(enginesFirst ? withEngines : plain));
        tree.write("cst/b.cst", carsetBytes(enginesFirst ? plain : withEngines));
        detect("gem67");
        EXPECT_EQ(loadedName(), "plain") << enginesFirst;
        EXPECT_EQ(foundPath(), testutil::nativePath(enginesFirst ? "cst/b.cst" : "cst/a.cst"));
        std::filesystem::current_path(dir_.path());
    }
}

TEST_F(CarsetTest, TwoMatchesWithEnginesLoadNothing) {
    CarsetSpec spec = matching("gem67", "engines");
    spec.engines = "";
    writeCarset("cst/a.cst", spec);
    writeCarset("b.cst", spec);
    detect("gem67");
    EXPECT_EQ(loadedName(), "");
}

TEST_F(CarsetTest, SingleMatchWithEnginesIsUsed) {
    CarsetSpec spec = matching("gem67", "only");
    spec.engines = "Ford";
    writeCarset("cst/a.cst", spec);
    writeCarset("cst/other.cst", matching("gem69", "other"));
    detect("gem67");
    EXPECT_EQ(loadedName(), "only");
}

TEST_F(CarsetTest, EarlierDirectoryThenSmallerByteOrderWins) {
    writeCarset("cst/z.cst", matching("gem67", "cst z"));
    writeCarset("cst/a.cst", matching("gem67", "cst a"));
    writeCarset("cst/B.cst", matching("gem67", "cst B"));
    writeCarset("a.cst", matching("gem67", "dot a"));
    detect("gem67");
    EXPECT_EQ(loadedName(), "cst B");
    EXPECT_EQ(foundPath(), testutil::nativePath("cst/B.cst"));
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
    detect(cardir);
    EXPECT_EQ(loadedName(), "rooted");
    EXPECT_EQ(foundPath(), "\\GPL\\Mods\\GEM+\\y.cst");
    fs::remove(rooted / "y.cst");
    detect(cardir);
    EXPECT_EQ(loadedName(), "sierra");
    EXPECT_EQ(foundPath(), up + "Sierra\\gpl\\Mods\\GEM+\\z.cst");
    fs::remove(sierra / "z.cst");
    for (const fs::path& top : created) fs::remove_all(top, ec);
}
#else
TEST_F(CarsetTest, InstallDirectoriesAreSearchedAfterTheWorkingDirectory) {
    // On POSIX the Windows install paths are relative ones.
    writeCarset("C:/Program Files (x86)/GPL/Mods/GEM+/a.cst", matching("gem67", "program files"));
    writeCarset("C:/Sierra/gpl/Mods/GEM+/z.cst", matching("gem67", "sierra"));
    detect("gem67");
    EXPECT_EQ(loadedName(), "sierra");
    EXPECT_EQ(foundPath(), "C:/Sierra/gpl/Mods/GEM+/z.cst");

    writeCarset("x.cst", matching("gem67", "dot"));
    detect("gem67");
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

    detect("gem67");
    EXPECT_EQ(loadedName(), "through link");
    EXPECT_EQ(foundPath(), testutil::nativePath("cst/h.cst"));
}

TEST_F(CarsetTest, NoMatchFindsNothing) {
    writeCarset("cst/a.cst", matching("gem69", "other"));
    EXPECT_FALSE(detectCarset("gem67").has_value());
}

TEST_F(CarsetTest, SearchDirectoryThatIsAFileIsSkipped) {
    dir_.write("cst", "not a directory");
    writeCarset("a.cst", matching("gem67", "dot"));
    detect("gem67");
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
    ::chmod("cst", 0755);
#endif
}

} // namespace
