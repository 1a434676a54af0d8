#include "replay/replay_reader.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "alloccount.h"
#include "rpybuilder.h"
#include "testutil.h"
#include "collected_diagnostics.h"

namespace {

using namespace rpybuilder;

using testutil::errorOf;

ByteReader readerOf(const std::string& s) {
    return ByteReader(ByteReader::Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
}

const std::string noSessionData = "Warning: (rpylib:109) No session data found";
const std::string inconsistentSessions = "Warning: (rpylib:601) Inconsistent session data.";

// A replay file opened, checked and read, its warnings collected.
struct Opened {
    explicit Opened(const std::string& path) : file(path), records(readReplay(file, diagnostics)) {}
    const ReplayFile file;
    CollectedDiagnostics diagnostics;
    const ReplayRecords records;
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

class ReplayTest : public ::testing::Test {
protected:
    std::string write(const ReplaySpec& r, const std::string& name = "r.rpy") {
        return writeReplay(dir, name, r);
    }
    testutil::TempDir dir;
};

// ---- Replay file and game ------------------------------------------------------

TEST_F(ReplayTest, GameFollowsTheRootVersion) {
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
        EXPECT_EQ(gameOfVersion(replayVersion(c.version)), c.game) << c.version;
        ReplaySpec r;
        r.root.version = c.version;
        const std::string p = write(r, "v" + std::to_string(c.version) + ".rpy");
        if (c.game == Game::GPL) {
            const ReplayFile f(p);
            EXPECT_EQ(f.version(), c.version <= 2 ? c.version : 2u);
            EXPECT_EQ(f.root().version(), c.version);
        } else {
            EXPECT_EQ(errorOf([&] { ReplayFile f(p); }),
                      "Unsupported rpy version (" + std::to_string(c.version) + " - " + toString(c.game) + ")");
        }
    }
    EXPECT_EQ(toString(static_cast<Game>(9)), "cast(Game)9");
}

TEST_F(ReplayTest, FileChecksComeInOrder) {
    // Shorter than a chunk header; then a wrong magic, also with a wrong
    // length; then the length.
    const std::string p = dir.write("short.rpy", "YLPR");
    EXPECT_EQ(errorOf([&] { ReplayFile f(p); }), "Unknown file format reading file " + p);
    const std::string q = dir.write("rev.rpy", chunk("RPLY", 0, "") + "x");
    EXPECT_EQ(errorOf([&] { ReplayFile f(q); }), "Unknown file header 'RPLY' reading file " + q);
    const std::string z = dir.write("zero.rpy", chunk(std::string("YL\0R", 4), 0, ""));
    EXPECT_EQ(errorOf([&] { ReplayFile f(z); }), "Unknown file header 'YL\\x00R' reading file " + z);
    const std::string l = dir.write("long.rpy", chunk("YLPR", 7, "") + "x");
    EXPECT_EQ(errorOf([&] { ReplayFile f(l); }), "Bad file length (0 != 13) reading file " + l);
}

TEST_F(ReplayTest, ConstructionLetsOnlyUnexaminablePathsEscapeAsAccessErrors) {
    EXPECT_THROW(ReplayFile(dir.file("nothing.rpy")), ReplayAccessError);
    try {
        ReplayFile f(dir.path());
        ADD_FAILURE() << "directory accepted";
    } catch (const ReplayAccessError&) {
        ADD_FAILURE() << "directory reported as ReplayAccessError";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), dir.path() + " is not a file");
    }
}

// A path that can be examined but not opened, even with full rights: a
// socket on POSIX systems, a file another handle holds without sharing on
// Windows. Lives until the object dies.
class Unopenable {
public:
    explicit Unopenable(const std::string& p) {
#ifdef _WIN32
        handle_ = ::CreateFileA(p.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        ok_ = handle_ != INVALID_HANDLE_VALUE;
#else
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        ok_ = fd_ >= 0 && p.size() < sizeof addr.sun_path;
        if (ok_) {
            std::memcpy(addr.sun_path, p.c_str(), p.size() + 1);
            ok_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
        }
#endif
    }
    ~Unopenable() {
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
#else
        if (fd_ >= 0) ::close(fd_);
#endif
    }
    Unopenable(const Unopenable&) = delete;
    Unopenable& operator=(const Unopenable&) = delete;
    bool ok() const { return ok_; }

private:
#ifdef _WIN32
    HANDLE handle_;
#else
    int fd_;
#endif
    bool ok_;
};

TEST_F(ReplayTest, UnopenableFileIsAnOrdinaryError) {
    const std::string p = dir.file("sock.rpy");
    Unopenable held(p);
    ASSERT_TRUE(held.ok());
    try {
        ReplayFile f(p);
        ADD_FAILURE() << "unopenable file opened";
    } catch (const ReplayAccessError&) {
        ADD_FAILURE() << "open failure reported as ReplayAccessError";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what();
    }
}

// ---- Reading a replay ----------------------------------------------------------

TEST_F(ReplayTest, ReadsEveryRecord) {
    Opened o(write(twoCarRace()));
    const ReplayRecords& g = o.records;
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
    EXPECT_EQ(g.sessions[0].cars[0].carId(), 10);
    ASSERT_EQ(g.sessions[0].cars[0].lapCount(), 2u);
    EXPECT_EQ(g.sessions[0].cars[0].lap(1).clock(), 91000u);
    EXPECT_EQ(g.sessions[1].cars[0].lap(1).flags(), offTrack);

    EXPECT_TRUE(o.diagnostics.messages.empty());
}

TEST_F(ReplayTest, TextFieldsEndAtTheFirstNulOrTheFieldEnd) {
    ReplaySpec r;
    r.header.track = std::string(40, 'T');        // cut to 28, no NUL left
    r.header.saverName = std::string("ab\0cd", 5);
    r.weekend.carset = std::string(97, 'c');
    Opened o(write(r));
    EXPECT_EQ(o.records.header.track(), std::string(28, 'T'));
    EXPECT_EQ(o.records.header.saverName(), "ab");
    EXPECT_EQ(o.records.weekend.carset(), std::string(97, 'c'));
    EXPECT_EQ(o.records.weekend.sessionCount(), 2u); // the carset ends before the count
}

TEST_F(ReplayTest, FixedRecordsMustHaveTheirPaddedSize) {
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

TEST_F(ReplayTest, ChunksOutOfOrderOrMissingAreContainerErrors) {
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

std::vector<SessionInfo> sessionsOf(const WeekendSpec& w, Diagnostics& diagnostics) {
    const std::string rec = weekendRecord(w);
    return WeekendRecord(readerOf(rec)).sessions(diagnostics);
}

std::string sessionsError(const WeekendSpec& w) {
    IgnoredDiagnostics ignored;
    return errorOf([&] { sessionsOf(w, ignored); });
}

TEST(WeekendRecordTest, PracticeAndRaceEndAtTheOneWeekLimit) {
    WeekendSpec w;
    w.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {SessionType::RACE, 30, 604800.0}, {1, 0, 0.0}};
    CollectedDiagnostics diagnostics;
    const std::vector<SessionInfo> expected = {{SessionCode::practice, 32767, 3600}, {SessionCode::race, 30, 604800}};
    EXPECT_EQ(sessionsOf(w, diagnostics), expected); // the type-1 entry after the race is never read
    EXPECT_TRUE(diagnostics.messages.empty());

    w.sessionCount = 3;
    EXPECT_EQ(sessionsError(w), "Inconsistent session info");
}

TEST(WeekendRecordTest, EmptyEntryWarnsAndDropsTheList) {
    CollectedDiagnostics diagnostics;
    WeekendSpec first;
    first.sessions = {};
    first.sessionCount = 5; // not compared
    EXPECT_TRUE(sessionsOf(first, diagnostics).empty());

    WeekendSpec later;
    later.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {0, 0, 0.0}};
    EXPECT_TRUE(sessionsOf(later, diagnostics).empty());
    EXPECT_EQ(diagnostics.messages, (std::vector<std::string>{noSessionData, noSessionData}));
}

TEST(WeekendRecordTest, EightEntriesWithoutOneWeekAreAllRead) {
    WeekendSpec w;
    w.sessions.assign(8, WeekendSession(SessionType::TESTING, 32767, 900.0));
    w.sessions[7] = WeekendSession(SessionType::RACE, 12, 7200.0);
    IgnoredDiagnostics ignored;
    const auto list = sessionsOf(w, ignored);
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[7], (SessionInfo{SessionCode::race, 12, 7200}));

    w.sessionCount = 7;
    EXPECT_EQ(sessionsError(w), "Inconsistent session info");
}

TEST(WeekendRecordTest, UnknownTypesAreErrors) {
    for (int type : {1, 5, -1}) {
        WeekendSpec w;
        w.sessions = {{type, 1, 604800.0}};
        EXPECT_EQ(sessionsError(w), "Unknown session type: cast(SessT)" + std::to_string(type));
    }
}

TEST(WeekendRecordTest, FieldsAtOddOffsetsReadInPlace) {
    WeekendSpec w;
    w.track = "lakeside";
    w.carset = "Classic";
    w.sessions = {WeekendSession::withBits(7, -2, WeekendRecord::oneWeekBits)};
    w.sessionCount = 0x11223344;
    const std::string rec = weekendRecord(w);
    const WeekendRecord info(readerOf(rec));
    EXPECT_EQ(info.track(), "lakeside");
    EXPECT_EQ(info.carset(), "Classic");
    EXPECT_EQ(info.sessionCount(), 0x11223344u);

    w.sessionCount = 1;
    IgnoredDiagnostics ignored;
    EXPECT_EQ(sessionsOf(w, ignored), (std::vector<SessionInfo>{{SessionCode::race, -2, 604800}}));
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

TEST(DriverRecordTest, EveryFieldAtItsOffset) {
    // Neighbouring fields hold values of their own, so that a field read at
    // the wrong offset shows.
    DriverSpec d{.firstName = "Jim", .lastName = "Clark", .word32 = -3, .nationality = 12,
                 .tag = tagBytes(82, 3, 1), .bytes72 = "x", .driverId = 7, .carIndex = 2, .carClass = 1,
                 .colour = {0x12, 0xAB, 0x0F}, .byte119 = 200, .word120 = -1, .carId = 3, .number = 5,
                 .word132 = -70000, .tagIsText = 4, .byte137 = -2, .byte138 = -6};
    const std::string rec = driverRecord(d);
    ASSERT_EQ(rec.size(), DriverRecord::size);
    const DriverRecord info(readerOf(rec));
    EXPECT_EQ(info.firstName(), "Jim");
    EXPECT_EQ(info.lastName(), "Clark");
    EXPECT_EQ(info.nationality(), 12u);
    for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(info.tagByte(i), static_cast<std::uint8_t>(d.tag[i])) << i;
    EXPECT_EQ(info.driverId(), 7);
    EXPECT_EQ(info.carIndex(), 2u);
    EXPECT_EQ(info.carClass(), 1u);
    EXPECT_EQ(info.carId(), 3);
    EXPECT_EQ(info.number(), 5);
    EXPECT_EQ(info.tagIsText(), 4);
    EXPECT_EQ(info.flag138(), -6);
}

TEST(DriverRecordTest, NationalityCodes) {
    EXPECT_EQ(nationalityCode(0), "ARG");
    EXPECT_EQ(nationalityCode(12), "GBR");
    EXPECT_EQ(nationalityCode(28), "VEN");
    EXPECT_EQ(nationalityCode(29), "");
    EXPECT_EQ(nationalityCode(0xFFFFFFFF), "");
}

TEST_F(ReplayTest, DriverItemsNeedAtLeastTheRecordSize) {
    ReplaySpec r;
    r.drivers = {DriverSpec{.carId = 1}, DriverSpec{.carId = 2}, DriverSpec{.carId = 3}};
    r.drivers[0].chunk.dataBytes = 144; // larger: first 140 bytes are the record
    r.drivers[1].chunk.dataBytes = 137; // pads to 140
    Opened o(write(r, "ok.rpy"));
    ASSERT_EQ(o.records.drivers.size(), 3u);
    EXPECT_EQ(o.records.drivers[0].carId(), 1);
    EXPECT_EQ(o.records.drivers[2].carId(), 3);

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

TEST_F(ReplayTest, EmptyDriverListAndNoSessions) {
    Opened o(write(ReplaySpec{}));
    EXPECT_TRUE(o.records.drivers.empty());
    EXPECT_TRUE(o.records.sessions.empty());
    EXPECT_TRUE(o.diagnostics.messages.empty()); // lastSession 0xFFFFFFFF: 0 sessions expected
}

// ---- Sessions and laps ---------------------------------------------------------

TEST_F(ReplayTest, SessionIndexesStartAtFirstSession) {
    ReplaySpec r;
    r.header.firstSession = 1;
    r.header.lastSession = 2;
    r.sessions = {SessionSpec{{CarSpec{1, {}}}}, SessionSpec{}};
    Opened o(write(r, "two.rpy"));
    ASSERT_EQ(o.records.sessions.size(), 2u);
    EXPECT_EQ(o.records.sessions[0].index, 1u);
    EXPECT_EQ(o.records.sessions[1].index, 2u);
    EXPECT_TRUE(o.records.sessions[1].cars.empty()); // a session chunk with no data
    EXPECT_TRUE(o.diagnostics.messages.empty());

    r.sessions.pop_back();
    Opened one(write(r, "one.rpy"));
    EXPECT_EQ(one.records.sessions.size(), 1u); // kept despite the warning
    EXPECT_EQ(one.diagnostics.messages, std::vector<std::string>{inconsistentSessions});
}

TEST_F(ReplayTest, ReplayEndingAfterTheDriversWarnsWhenSessionsWereExpected) {
    ReplaySpec r;
    r.header.lastSession = 0;
    Opened o(write(r));
    EXPECT_TRUE(o.records.sessions.empty());
    EXPECT_EQ(o.diagnostics.messages, std::vector<std::string>{inconsistentSessions});
}

TEST_F(ReplayTest, LapWordsCarryClockAndFlags) {
    ReplaySpec r;
    r.sessions = {SessionSpec{{CarSpec{7, {0x40002710u, 0x50002710u, 0x00FFFFFFu}}, CarSpec{8, {}}}}};
    Opened o(write(r));
    const CarLapsRecord& car = o.records.sessions[0].cars[0];
    ASSERT_EQ(car.lapCount(), 3u);
    EXPECT_EQ(car.lap(0).clock(), 10000u);
    EXPECT_EQ(car.lap(0).flags(), 0x40);
    EXPECT_EQ(car.lap(1).clock(), 10000u);
    EXPECT_EQ(car.lap(1).flags(), 0x50);
    EXPECT_EQ(car.lap(2).clock(), 16777215u);
    EXPECT_EQ(o.records.sessions[0].cars[1].carId(), 8);
    EXPECT_EQ(o.records.sessions[0].cars[1].lapCount(), 0u); // exactly 4 data bytes
}

TEST_F(ReplayTest, PaddingOfAnOddCarChunkBelongsToItsLastRecord) {
    ReplaySpec r;
    CarSpec odd{5, {0x00002710u}};
    odd.chunk.dataBytes = 7; // car id and bytes 10 27 00, then the padding byte
    odd.chunk.padByte = 0x50;
    CarSpec tiny{0x0302, {}};
    tiny.chunk.dataBytes = 2; // pads to 4: the car id takes the padding
    tiny.chunk.padByte = 0x01;
    r.sessions = {SessionSpec{{odd, tiny}}};
    Opened o(write(r));
    const auto& cars = o.records.sessions[0].cars;
    ASSERT_EQ(cars[0].lapCount(), 1u);
    EXPECT_EQ(cars[0].lap(0).clock(), 10000u);
    EXPECT_EQ(cars[0].lap(0).flags(), 0x50);
    EXPECT_EQ(cars[1].carId(), 0x01010302);
    EXPECT_EQ(cars[1].lapCount(), 0u);
}

TEST_F(ReplayTest, CarChunkWithoutDataHoldsNoCarId) {
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

TEST_F(ReplayTest, SessionLoopStopsAtOtherDataAfterTheSessions) {
    ReplaySpec r = twoCarRace();
    r.trailing = chunk("BTPX", 0, std::string(40, 'j')) + chunk("BTPL", 0, "garbage!");
    Opened a(write(r, "chunk.rpy"));
    EXPECT_EQ(a.records.sessions.size(), 2u);

    r.trailing = "BTPL" + std::string(4, 'j'); // fewer than 12 bytes left
    Opened b(write(r, "junk.rpy"));
    EXPECT_EQ(b.records.sessions.size(), 2u);
    EXPECT_TRUE(a.diagnostics.messages.empty());
    EXPECT_TRUE(b.diagnostics.messages.empty());
}

TEST_F(ReplayTest, SessionChunkOverrunningTheRootIsAnError) {
    ReplaySpec r = twoCarRace();
    r.sessions[1].chunk.sizeField = 1000;
    const std::string p = write(r);
    // Root data at 12: header 88, weekend 196, two drivers 12 + 2 * 152, first session 12 + 24 + 20.
    const std::uint64_t at = 12 + 88 + 196 + (12 + 2 * 152) + (12 + 24 + 20);
    EXPECT_EQ(errorOf([&] { Opened o(p); }), "Error reading file " + p +
                                                 ": chunk label 'YLPR' (BTPL) data size exceeded at offset " +
                                                 std::to_string(at));
}

// ---- Large replays -------------------------------------------------------------

TEST_F(ReplayTest, TrailingDataIsNeverTouched) {
    constexpr std::uint32_t filler = 100u << 20;
    ReplaySpec r = twoCarRace();
    const std::string small = write(r, "small.rpy");
    r.fillerBytes = filler;
    const std::string large = write(r, "large.rpy"); // same name length as small
    const std::uint64_t fillerData = buildReplay(twoCarRace()).size() + 12;

    auto readAndCount = [&](const std::string& path) {
        const std::uint64_t before = testutil::allocatedBytes();
        Opened o(path);
        const std::uint64_t used = testutil::allocatedBytes() - before;
        EXPECT_EQ(o.records.sessions.size(), 2u);
        return used;
    };
    const std::uint64_t smallBytes = readAndCount(small);
    const std::uint64_t largeBytes = readAndCount(large);
    // The records' buffer (64 KiB) and the views into it.
    EXPECT_LT(smallBytes, 80u << 10);
    EXPECT_EQ(largeBytes, smallBytes);
#ifdef _WIN32
    // No mincore here: the allocation count above is the check.
    (void)fillerData;
#else
    // The read may pull in some pages around the last chunk header it looks
    // at (read-ahead); walking or copying the data would bring in all 25600.
    const std::vector<bool> pages = testutil::residentPages(large);
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t firstFillerPage = (fillerData + page - 1) / page;
    ASSERT_GT(pages.size(), firstFillerPage);
    const auto resident = static_cast<std::size_t>(
        std::count(pages.begin() + static_cast<std::ptrdiff_t>(firstFillerPage), pages.end(), true));
    EXPECT_LT(resident, (4u << 20) / page) << "of " << filler / page << " pages";
#endif
}

} // namespace
