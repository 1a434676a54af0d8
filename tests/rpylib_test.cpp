#include "rpylib.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "globals.h"
#include "platform/platform.h"
#include "rpybuilder.h"
#include "alloccount.h"
#include "testutil.h"


namespace {

using namespace rpybuilder;

template <class F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error thrown";
    return {};
}

const std::uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

using testutil::StderrCapture;

const std::string noSessionData = "Warning: (rpylib:109) No session data found\n";
const std::string inconsistentSessions = "Warning: (rpylib:601) Inconsistent session data.\n";

// A replay file opened, checked and read.
struct Opened {
    explicit Opened(const std::string& path) : file(std::make_unique<RpyFile>(path)) {
        file->checkHeader();
        gpl = std::make_unique<RpyGPL>(*file);
    }
    std::unique_ptr<RpyFile> file;
    std::unique_ptr<RpyGPL> gpl;
};

ReplaySpec twoCarRace() {
    ReplaySpec r;
    r.header.track = "Monza";
    r.header.saverName = "Saver";
    r.header.saverVersion = "1.2.0.2";
    r.header.word28 = 0xDEADBEEF;
    r.weekend.track = "monza";
    r.weekend.carset = "1967 Season";
    r.drivers.push_back(DriverSpec{.firstName = "Jim", .lastName = "Clark", .driverId = 1, .carId = 10, .number = 5});
    r.drivers.push_back(DriverSpec{.firstName = "Dan", .lastName = "Gurney", .driverId = 2, .carId = 20, .number = 36});
    r.sessions.push_back(SessionSpec{{CarSpec{10, {lapWord(1000), lapWord(91000)}}, CarSpec{20, {lapWord(1200)}}}});
    r.sessions.push_back(SessionSpec{{CarSpec{20, {lapWord(0), lapWord(90500, offTrack)}}}});
    return r;
}

class RpyTest : public ::testing::Test {
protected:
    std::string write(const ReplaySpec& r, const std::string& name = "r.rpy") {
        return writeReplay(dir, name, r);
    }
    testutil::TempDir dir;
};

// ---- Replay file and game ------------------------------------------------------

TEST_F(RpyTest, GameFollowsTheRootVersion) {
    struct Case {
        std::uint32_t version;
        Game game;
    };
    // 0x2402 is stored as 02 24 00 00: only the low byte counts when it is 2.
    const Case cases[] = {{0, Game::GPL},      {1, Game::GPL},      {2, Game::GPL},     {0x2402, Game::GPL},
                          {0x0102, Game::GPL}, {0x0302, Game::GPL}, {0x0101, Game::UNK}, {3, Game::N4},
                          {4, Game::UNK},      {5, Game::N2K3},     {6, Game::UNK},     {8, Game::UNK},
                          {9, Game::IRAC},     {15, Game::IRAC},    {16, Game::UNK}};
    for (const Case& c : cases) {
        ReplaySpec r;
        r.root.version = c.version;
        RpyFile f(write(r));
        EXPECT_EQ(f.game(), c.game) << c.version;
        if (c.game == Game::GPL) {
            EXPECT_EQ(f.checkHeader(), f.root);
        } else {
            EXPECT_EQ(errorOf([&] { f.checkHeader(); }),
                      "Unsupported rpy version (" + std::to_string(c.version) + " - " + toString(c.game) + ")");
        }
    }
}

TEST_F(RpyTest, VersionHookOnlyNarrowsTheReplayLabel) {
    const std::string rpy("YLPR\x02\x24\0\0", 8);
    const std::string other("DHPR\x02\x24\0\0", 8);
    EXPECT_EQ(rpyVersionOf(ChunkLblView(bytesOf(rpy))), 2u);
    EXPECT_EQ(rpyVersionOf(ChunkLblView(bytesOf(other))), 0x2402u);

    ReplaySpec r;
    r.root.version = 0x2402;
    RpyFile f(write(r));
    EXPECT_EQ(f.root.version(), 2u);
    EXPECT_EQ(f.root.rawVersion(), 0x2402u);
    EXPECT_EQ(f.fileVersion(), 0x2402u);
}

TEST_F(RpyTest, ShortFileLeavesRootInvalidUntilTheHeaderCheck) {
    const std::string p = dir.write("short.rpy", "YLPR");
    RpyFile f(p);
    EXPECT_FALSE(f.root.valid);
    EXPECT_EQ(f.game(), Game::UNK);
    EXPECT_EQ(errorOf([&] { f.checkHeader(); }), "Unknown file format reading file " + p);
}

TEST_F(RpyTest, ConstructionLetsOnlyUnexaminablePathsEscapeAsFileErrors) {
    EXPECT_THROW(RpyFile(dir.file("nothing.rpy")), platform::FileError);
    try {
        RpyFile f(dir.path());
        ADD_FAILURE() << "directory accepted";
    } catch (const platform::FileError&) {
        ADD_FAILURE() << "directory reported as FileError";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), dir.path() + " is not a file");
    }
}

TEST_F(RpyTest, ReopeningNeverLeavesRootInTheOldMapping) {
    RpyFile f(write(ReplaySpec{}));
    f.checkHeader();
    EXPECT_THROW(f.open(dir.write("short.rpy", "YLP")), std::runtime_error);
    EXPECT_FALSE(f.root.valid);
    EXPECT_EQ(f.open(write(ReplaySpec{}, "again.rpy")), f.root);
    EXPECT_TRUE(f.root.valid);
    f.close();
    EXPECT_FALSE(f.root.valid);
}

// ---- Reading a replay ----------------------------------------------------------

TEST_F(RpyTest, ReadsEveryRecordAsAViewIntoTheFile) {
    StderrCapture err;
    Opened o(write(twoCarRace()));
    const RpyGPL& g = *o.gpl;
    EXPECT_EQ(&g.rpy, o.file.get());
    EXPECT_EQ(g.header.track(), "Monza");
    EXPECT_EQ(g.header.word28(), 0xDEADBEEFu);
    EXPECT_EQ(g.header.saverName(), "Saver");
    EXPECT_EQ(g.header.saverVersion(), "1.2.0.2");
    EXPECT_EQ(g.header.firstSession(), 0u);
    EXPECT_EQ(g.header.lastSession(), 1u);
    EXPECT_EQ(g.weekend.track(), "monza");
    EXPECT_EQ(g.weekend.carset(), "1967 Season");
    EXPECT_EQ(g.weekend.sessionCount(), 2u);

    ASSERT_EQ(g.drivers.size(), 2u);
    EXPECT_EQ(g.drivers[0].lastName(), "Clark");
    EXPECT_EQ(g.drivers[1].lastName(), "Gurney");
    EXPECT_EQ(g.drivers[1].carId(), 20);

    ASSERT_EQ(g.sessions.size(), 2u);
    EXPECT_EQ(g.sessions[0].index, 0u);
    EXPECT_EQ(g.sessions[1].index, 1u);
    ASSERT_EQ(g.sessions[0].cars.size(), 2u);
    EXPECT_EQ(g.sessions[0].cars[0].carId, 10);
    ASSERT_EQ(g.sessions[0].cars[0].laps.size(), 2u);
    EXPECT_EQ(g.sessions[0].cars[0].laps[1].clock(), 91000u);
    EXPECT_EQ(g.sessions[1].cars[0].laps[1].flags(), offTrack);

    // Nothing is copied: every record lies inside the mapping.
    const auto file = o.file->bytes();
    auto inFile = [&](const std::uint8_t* p, std::size_t n) {
        return p >= file.data() && p + n <= file.data() + file.size();
    };
    EXPECT_TRUE(inFile(g.header.bytes(), RpyHeader::size));
    EXPECT_TRUE(inFile(g.weekend.bytes(), WeekendInfo::size));
    EXPECT_TRUE(inFile(g.drivers[1].bytes(), DriverInfo::size));
    EXPECT_TRUE(inFile(g.sessions[0].cars[0].laps.bytes(), 8));
    EXPECT_EQ(err.text(), "");
}

TEST_F(RpyTest, TextFieldsEndAtTheFirstNulOrTheFieldEnd) {
    ReplaySpec r;
    r.header.track = std::string(40, 'T');        // cut to 28, no NUL left
    r.header.saverName = std::string("ab\0cd", 5);
    r.weekend.carset = std::string(97, 'c');
    Opened o(write(r));
    EXPECT_EQ(o.gpl->header.track(), std::string(28, 'T'));
    EXPECT_EQ(o.gpl->header.saverName(), "ab");
    EXPECT_EQ(o.gpl->weekend.carset(), std::string(97, 'c'));
    EXPECT_EQ(o.gpl->weekend.sessionCount(), 2u); // the carset ends before the count
}

TEST_F(RpyTest, FixedRecordsMustHaveTheirPaddedSize) {
    ReplaySpec r;
    r.header.chunk.dataBytes = 74; // pads to 76
    EXPECT_NO_THROW(Opened o(write(r, "a.rpy")));

    r.header.chunk.dataBytes = 72;
    EXPECT_EQ(errorOf([&] { Opened o(write(r, "b.rpy")); }),
              "Chunk DHPR size and destination type size are not equal (72 != 76)");

    ReplaySpec w;
    w.weekend.chunk.dataBytes = 188;
    EXPECT_EQ(errorOf([&] { Opened o(write(w, "c.rpy")); }),
              "Chunk FNKW size and destination type size are not equal (188 != 184)");
}

TEST_F(RpyTest, ChunksOutOfOrderOrMissingAreContainerErrors) {
    ReplaySpec r;
    r.weekend.chunk.label = "DHPR";
    const std::string p = write(r, "a.rpy");
    EXPECT_EQ(errorOf([&] { Opened o(p); }),
              "Error reading file " + p + ": chunk label 'DHPR' does not match requested label 'FNKW'");

    // A root that ends after the weekend: the driver list does not fit.
    ReplaySpec s;
    s.root.dataBytes = 88 + 196;
    const std::string q = write(s, "b.rpy");
    EXPECT_EQ(errorOf([&] { Opened o(q); }),
              "Error reading file " + q + ": chunk label 'YLPR' (SLRD) data size exceeded at offset 296");
}

// ---- Weekend -------------------------------------------------------------------

TEST(WeekendInfo, PracticeAndRaceEndAtTheOneWeekLimit) {
    WeekendSpec w;
    w.sessions = {{SessT::PRACTICE, 32767, 3600.0}, {SessT::RACE, 30, 604800.0}, {1, 0, 0.0}};
    const std::string rec = weekendRecord(w);
    const WeekendInfo info(bytesOf(rec));
    const std::vector<SessInfo> expected = {{SessT::PRACTICE, 32767, 3600}, {SessT::RACE, 30, 604800}};
    EXPECT_EQ(info.sessions(), expected); // the type-1 entry after the race is never read

    w.sessionCount = 3;
    const std::string bad = weekendRecord(w);
    EXPECT_EQ(errorOf([&] { WeekendInfo(bytesOf(bad)).sessions(); }), "Inconsistent session info");
}

TEST(WeekendInfo, EmptyEntryWarnsAndDropsTheList) {
    StderrCapture err;
    WeekendSpec first;
    first.sessions = {};
    first.sessionCount = 5; // not compared
    const std::string a = weekendRecord(first);
    EXPECT_TRUE(WeekendInfo(bytesOf(a)).sessions().empty());

    WeekendSpec later;
    later.sessions = {{SessT::PRACTICE, 32767, 3600.0}, {0, 0, 0.0}};
    const std::string b = weekendRecord(later);
    EXPECT_TRUE(WeekendInfo(bytesOf(b)).sessions().empty());
    EXPECT_EQ(err.text(), noSessionData + noSessionData);
}

TEST(WeekendInfo, EightEntriesWithoutOneWeekAreAllRead) {
    WeekendSpec w;
    w.sessions.assign(8, WeekendSession(SessT::TESTING, 32767, 900.0));
    w.sessions[7] = WeekendSession(SessT::RACE, 12, 7200.0);
    const std::string rec = weekendRecord(w);
    const auto list = WeekendInfo(bytesOf(rec)).sessions();
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[7], (SessInfo{SessT::RACE, 12, 7200}));

    w.sessionCount = 7;
    const std::string bad = weekendRecord(w);
    EXPECT_EQ(errorOf([&] { WeekendInfo(bytesOf(bad)).sessions(); }), "Inconsistent session info");
}

TEST(WeekendInfo, UnknownTypesAreErrors) {
    for (int type : {1, 5, -1}) {
        WeekendSpec w;
        w.sessions = {{type, 1, 604800.0}};
        const std::string rec = weekendRecord(w);
        EXPECT_EQ(errorOf([&] { WeekendInfo(bytesOf(rec)).sessions(); }),
                  "Unknown session type: cast(SessT)" + std::to_string(type));
    }
}

TEST(WeekendInfo, FieldsAtOddOffsetsReadInPlace) {
    WeekendSpec w;
    w.sessions = {WeekendSession::withBits(7, -2, 0x01020304)};
    w.sessionCount = 0x11223344;
    const std::string rec = weekendRecord(w);
    const WeekendInfo info(bytesOf(rec));
    EXPECT_EQ(info.sessionCount(), 0x11223344u);
    const SessionEntry e = info.entry(0);
    EXPECT_EQ(e.type, 7);
    EXPECT_EQ(e.laps, -2);
    EXPECT_EQ(e.secondsBits, 0x01020304u);
    EXPECT_THROW(info.entry(8), std::out_of_range);
}

TEST(SecondsFromFloat, TruncatesPositiveValuesAndClampsTheRest) {
    EXPECT_EQ(secondsFromFloat(floatBits(3600.0f)), 3600);
    EXPECT_EQ(secondsFromFloat(floatBits(604800.0f)), 604800);
    EXPECT_EQ(secondsFromFloat(floatBits(90.75f)), 90);
    EXPECT_EQ(secondsFromFloat(floatBits(0.5f)), 0);
    EXPECT_EQ(secondsFromFloat(floatBits(-1.0f)), 0);
    EXPECT_EQ(secondsFromFloat(floatBits(-0.0f)), 0);
    EXPECT_EQ(secondsFromFloat(0), 0);
    EXPECT_EQ(secondsFromFloat(floatBits(2147483520.0f)), 2147483520);
    EXPECT_EQ(secondsFromFloat(floatBits(3e9f)), INT32_MAX);
    EXPECT_EQ(secondsFromFloat(floatBits(std::numeric_limits<float>::infinity())), INT32_MAX);
    EXPECT_EQ(secondsFromFloat(0x7FC00000u), INT32_MAX); // NaN
}

// ---- Drivers -------------------------------------------------------------------

TEST(DriverInfo, EveryFieldAtItsOffset) {
    DriverSpec d{.firstName = "Jim", .lastName = "Clark", .word32 = -3, .nationality = 12,
                 .tag = tagBytes(82, 3, 1), .bytes72 = "x", .driverId = 7, .carIndex = 2, .carClass = 1,
                 .colour = {0x12, 0xAB, 0x0F}, .byte119 = 200, .word120 = -1, .carId = 3, .number = 5,
                 .word132 = -70000, .tagIsText = 0, .byte137 = -2, .byte138 = 1};
    const std::string rec = driverRecord(d);
    const DriverInfo info(bytesOf(rec));
    EXPECT_EQ(info.firstName(), "Jim");
    EXPECT_EQ(info.lastName(), "Clark");
    EXPECT_EQ(info.word32(), -3);
    EXPECT_EQ(info.nationality(), 12u);
    EXPECT_EQ(info.tag(), tagBytes(82, 3, 1));
    EXPECT_EQ(info.tagByte(1), 82);
    EXPECT_EQ(info.driverId(), 7);
    EXPECT_EQ(info.carIndex(), 2u);
    EXPECT_EQ(info.carClass(), 1u);
    EXPECT_EQ(info.colour(1), 0xAB);
    EXPECT_EQ(info.byte119(), 200);
    EXPECT_EQ(info.word120(), -1);
    EXPECT_EQ(info.carId(), 3);
    EXPECT_EQ(info.number(), 5);
    EXPECT_EQ(info.word132(), -70000);
    EXPECT_EQ(info.tagIsText(), 0);
    EXPECT_EQ(info.byte137(), -2);
    EXPECT_EQ(info.byte138(), 1);

    EXPECT_EQ(info.toString(),
              "Jim     |Clark     |-3!GBR|49, 82, 0, 3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0|"
              " 7| 2| 1|12AB0F|200!-1! 3| 5|-70000!0|-2!1\n");
}

TEST(DriverInfo, TextTagsAndNamesAreDecodedFromTheAnsiCodePage) {
    DriverSpec d{.firstName = "Ren\xE9", .lastName = "Bonnier-Longname", .nationality = 29,
                 .tag = "Lotus \xE9", .tagIsText = 1};
    const std::string rec = driverRecord(d);
    EXPECT_EQ(DriverInfo(bytesOf(rec)).toString(),
              "Ren\xC3\xA9    |Bonnier-Lo|0!   |Lotus \xC3\xA9" + std::string(38, ' ') +
                  "| 0| 0| 0|000000| 0! 0! 0| 0| 0!1|0!0\n");

    // "NOT" marks a text tag even when tagIsText says coded.
    DriverSpec n{.tag = "NOT GEM", .tagIsText = 0};
    const std::string rec2 = driverRecord(n);
    EXPECT_NE(DriverInfo(bytesOf(rec2)).toString().find("|NOT GEM" + std::string(38, ' ') + "|"),
              std::string::npos);
}

TEST(DriverInfo, NationalityCodes) {
    EXPECT_EQ(nationalityCodes.size(), 87u);
    EXPECT_EQ(nationalityCode(0), "ARG");
    EXPECT_EQ(nationalityCode(12), "GBR");
    EXPECT_EQ(nationalityCode(28), "VEN");
    EXPECT_EQ(nationalityCode(29), "");
    EXPECT_EQ(nationalityCode(0xFFFFFFFF), "");
}

TEST_F(RpyTest, DriverItemsNeedAtLeastTheRecordSize) {
    ReplaySpec r;
    r.drivers = {DriverSpec{.carId = 1}, DriverSpec{.carId = 2}, DriverSpec{.carId = 3}};
    r.drivers[0].chunk.dataBytes = 144; // larger: first 140 bytes are the record
    r.drivers[1].chunk.dataBytes = 137; // pads to 140
    Opened o(write(r, "ok.rpy"));
    ASSERT_EQ(o.gpl->drivers.size(), 3u);
    EXPECT_EQ(o.gpl->drivers[0].carId(), 1);
    EXPECT_EQ(o.gpl->drivers[2].carId(), 3);

    r.drivers[2].chunk.dataBytes = 136;
    EXPECT_EQ(errorOf([&] { Opened bad(write(r, "short.rpy")); }),
              "Chunk TNRD size and destination type size are not equal (136 != 140)");

    // The whole list is checked before any item's size.
    r.drivers[2].chunk = {};
    r.drivers[0].chunk.dataBytes = 100;
    r.drivers[2].chunk.label = "TNRX";
    const std::string p = write(r, "label.rpy");
    EXPECT_EQ(errorOf([&] { Opened bad(p); }),
              "Error reading file " + p + ": chunk label 'TNRX' does not match requested label 'TNRD'");
}

TEST_F(RpyTest, EmptyDriverListAndNoSessions) {
    StderrCapture err;
    Opened o(write(ReplaySpec{}));
    EXPECT_TRUE(o.gpl->drivers.empty());
    EXPECT_TRUE(o.gpl->sessions.empty());
    EXPECT_EQ(err.text(), ""); // lastSession 0xFFFFFFFF: 0 sessions expected
}

// ---- Sessions and laps ---------------------------------------------------------

TEST_F(RpyTest, SessionIndexesStartAtFirstSession) {
    StderrCapture err;
    ReplaySpec r;
    r.header.firstSession = 1;
    r.header.lastSession = 2;
    r.sessions = {SessionSpec{{CarSpec{1, {}}}}, SessionSpec{}};
    Opened o(write(r, "two.rpy"));
    ASSERT_EQ(o.gpl->sessions.size(), 2u);
    EXPECT_EQ(o.gpl->sessions[0].index, 1u);
    EXPECT_EQ(o.gpl->sessions[1].index, 2u);
    EXPECT_TRUE(o.gpl->sessions[1].cars.empty()); // a session chunk with no data
    EXPECT_EQ(err.text(), "");

    r.sessions.pop_back();
    Opened one(write(r, "one.rpy"));
    EXPECT_EQ(one.gpl->sessions.size(), 1u); // kept despite the warning
    EXPECT_EQ(err.text(), inconsistentSessions);
}

TEST_F(RpyTest, ReplayEndingAfterTheDriversWarnsWhenSessionsWereExpected) {
    StderrCapture err;
    ReplaySpec r;
    r.header.lastSession = 0;
    Opened o(write(r));
    EXPECT_TRUE(o.gpl->sessions.empty());
    EXPECT_EQ(err.text(), inconsistentSessions);
}

TEST_F(RpyTest, LapWordsCarryClockAndFlags) {
    ReplaySpec r;
    r.sessions = {SessionSpec{{CarSpec{7, {0x40002710u, 0x50002710u, 0x00FFFFFFu}}, CarSpec{8, {}}}}};
    Opened o(write(r));
    const CarLaps& car = o.gpl->sessions[0].cars[0];
    ASSERT_EQ(car.laps.size(), 3u);
    EXPECT_EQ(car.laps[0].clock(), 10000u);
    EXPECT_EQ(car.laps[0].flags(), 0x40);
    EXPECT_EQ(car.laps[1].clock(), 10000u);
    EXPECT_EQ(car.laps[1].flags(), 0x50);
    EXPECT_EQ(car.laps[2].clock(), 16777215u);
    EXPECT_EQ(o.gpl->sessions[0].cars[1].carId, 8);
    EXPECT_TRUE(o.gpl->sessions[0].cars[1].laps.empty()); // exactly 4 data bytes
}

TEST_F(RpyTest, PaddingOfAnOddCarChunkBelongsToItsLastRecord) {
    ReplaySpec r;
    CarSpec odd{5, {0x00002710u}};
    odd.chunk.dataBytes = 7; // car id and bytes 10 27 00, then the padding byte
    odd.chunk.padByte = 0x50;
    CarSpec tiny{0x0302, {}};
    tiny.chunk.dataBytes = 2; // pads to 4: the car id takes the padding
    tiny.chunk.padByte = 0x01;
    r.sessions = {SessionSpec{{odd, tiny}}};
    Opened o(write(r));
    const auto& cars = o.gpl->sessions[0].cars;
    ASSERT_EQ(cars[0].laps.size(), 1u);
    EXPECT_EQ(cars[0].laps[0].clock(), 10000u);
    EXPECT_EQ(cars[0].laps[0].flags(), 0x50);
    EXPECT_EQ(cars[1].carId, 0x01010302);
    EXPECT_TRUE(cars[1].laps.empty());
}

TEST_F(RpyTest, CarChunkWithoutDataHoldsNoCarId) {
    ReplaySpec r;
    CarSpec empty{1, {}};
    empty.chunk.dataBytes = 0;
    r.sessions = {SessionSpec{{empty}}};
    EXPECT_EQ(errorOf([&] { Opened o(write(r, "a.rpy")); }), "Chunk ORPL holds no car id");

    // The list is checked whole first: a wrong label of a later car wins.
    CarSpec wrong{2, {}};
    wrong.chunk.label = "ORPX";
    r.sessions = {SessionSpec{{empty, wrong}}};
    const std::string p = write(r, "b.rpy");
    EXPECT_EQ(errorOf([&] { Opened o(p); }),
              "Error reading file " + p + ": chunk label 'ORPX' does not match requested label 'ORPL'");
}

TEST_F(RpyTest, SessionLoopStopsAtOtherDataAfterTheSessions) {
    StderrCapture err;
    ReplaySpec r = twoCarRace();
    r.trailing = chunk("BTPX", 0, std::string(40, 'j')) + chunk("BTPL", 0, "garbage!");
    Opened a(write(r, "chunk.rpy"));
    EXPECT_EQ(a.gpl->sessions.size(), 2u);

    r.trailing = "BTPL" + std::string(4, 'j'); // fewer than 12 bytes left
    Opened b(write(r, "junk.rpy"));
    EXPECT_EQ(b.gpl->sessions.size(), 2u);
    EXPECT_EQ(err.text(), "");
}

TEST_F(RpyTest, SessionChunkOverrunningTheRootIsAnError) {
    ReplaySpec r = twoCarRace();
    r.sessions[1].chunk.sizeField = 1000;
    const std::string p = write(r);
    // Root data at 12: header 88, weekend 196, two drivers 12 + 2 * 152, first session 12 + 24 + 20.
    const std::uint64_t at = 12 + 88 + 196 + (12 + 2 * 152) + (12 + 24 + 20);
    EXPECT_EQ(errorOf([&] { Opened o(p); }), "Error reading file " + p +
                                                 ": chunk label 'YLPR' (BTPL) data size exceeded at offset " +
                                                 std::to_string(at));
}

TEST(CarLaps, TextFormNumbersRecordsFromZero) {
    const std::string words = u32le(lapWord(10000, offTrack)) + u32le(lapWord(95000));
    const CarLaps car{3, LapTimes(bytesOf(words), 2)};
    EXPECT_EQ(car.toString(), "Laps for car id 3\nlap   0: 10000 [64]\nlap   1: 95000 [0]\n");
}

// ---- Large replays -------------------------------------------------------------

#ifndef _WIN32
// Pages of [from, to) of the mapping that are in memory.
std::size_t residentPages(const std::uint8_t* base, std::uint64_t from, std::uint64_t to) {
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    from = (from + page - 1) / page * page;
    if (to <= from) return 0;
    std::vector<unsigned char> vec((to - from + page - 1) / page);
    if (::mincore(const_cast<std::uint8_t*>(base + from), to - from, vec.data()) != 0) return vec.size();
    std::size_t n = 0;
    for (unsigned char v : vec) n += v & 1;
    return n;
}
#endif

TEST_F(RpyTest, TrailingDataIsNeverTouched) {
    constexpr std::uint32_t filler = 100u << 20;
    ReplaySpec r = twoCarRace();
    const std::string small = write(r, "small.rpy");
    r.fillerBytes = filler;
    const std::string large = write(r, "large.rpy"); // same name length as small
    const std::uint64_t fillerData = buildReplay(twoCarRace()).size() + 12;

    auto readAndCount = [&](const std::string& path, std::size_t* resident) {
        const std::uint64_t before = testutil::allocatedBytes();
        Opened o(path);
        const std::uint64_t used = testutil::allocatedBytes() - before;
        EXPECT_EQ(o.gpl->sessions.size(), 2u);
#ifdef _WIN32
        (void)resident;
#else
        if (resident) *resident = residentPages(o.file->bytes().data(), fillerData, o.file->length());
#endif
        return used;
    };
    std::size_t resident = 0;
    const std::uint64_t smallBytes = readAndCount(small, nullptr);
    const std::uint64_t largeBytes = readAndCount(large, &resident);
    EXPECT_LT(smallBytes, 16u << 10);
    EXPECT_EQ(largeBytes, smallBytes);
#ifdef _WIN32
    // No mincore here: the allocation count above is the check.
    (void)fillerData;
#else
    // The read may pull in some pages around the last chunk header it looks
    // at (read-ahead); walking or copying the data would bring in all 25600.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    EXPECT_LT(resident, (4u << 20) / page) << "of " << filler / page << " pages";
#endif
}

} // namespace
