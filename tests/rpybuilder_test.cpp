// The replay builder writes the bytes every other fixture relies on, so its
// layout is checked here against hand-written bytes, not against the reader.
#include "rpybuilder.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>

#include "testutil.h"

namespace {

using namespace rpybuilder;

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

TEST(RpyBuilder, ChunkWritesHeaderDataAndPadding) {
    EXPECT_EQ(chunk("ABCD", 0x01020304, "xyz"), "ABCD" + bytes({4, 3, 2, 1, 3, 0, 0, 0}) + "xyz" + bytes({0}));
    EXPECT_EQ(chunk("ABCD", 0, "", 0xFFFFFFFF), "ABCD" + bytes({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(chunk("ABCD", 0, "x", std::nullopt, 0x50).substr(12), "x" + bytes({0x50, 0x50, 0x50}));
    EXPECT_THROW(chunk("ABC", 0, ""), std::logic_error);

    ChunkOpts opts;
    opts.label = "WXYZ";
    opts.version = 9;
    opts.dataBytes = 2;
    opts.sizeField = 7;
    EXPECT_EQ(chunkWith("ABCD", 0, "hello", opts), "WXYZ" + bytes({9, 0, 0, 0, 7, 0, 0, 0}) + "he" + bytes({0, 0}));
}

TEST(RpyBuilder, LapWordsAndTags) {
    EXPECT_EQ(u32le(lapWord(10000, offTrack | invalid)), bytes({0x10, 0x27, 0x00, 0x50}));
    EXPECT_EQ(lapWord(0x12345678), 0x00345678u); // the clock has 24 bits
    const std::string tag = tagBytes(82, 3, 1);
    EXPECT_EQ(tag.size(), 32u);
    EXPECT_EQ(tag.substr(0, 6), bytes({'1', 82, 0, 3, 1, 0}));
}

TEST(RpyBuilder, HeaderRecordLayout) {
    ReplaySpec r;
    r.header.track = std::string(30, 't');
    r.header.word28 = 0xA1B2C3D4;
    r.header.saverName = "S";
    r.header.saverVersion = "V";
    r.header.firstSession = 3;
    r.sessions.resize(2);
    const std::string rec = headerRecord(r);
    ASSERT_EQ(rec.size(), 76u);
    EXPECT_EQ(rec.substr(0, 28), std::string(28, 't'));
    EXPECT_EQ(rec.substr(28, 4), bytes({0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(rec.substr(32, 2), bytes({'S', 0}));
    EXPECT_EQ(rec.substr(48, 2), bytes({'V', 0}));
    EXPECT_EQ(rec.substr(68, 8), bytes({3, 0, 0, 0, 4, 0, 0, 0})); // last = first + 2 - 1

    r.sessions.clear();
    r.header.firstSession = 0;
    EXPECT_EQ(headerRecord(r).substr(72, 4), bytes({0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(RpyBuilder, WeekendRecordLayout) {
    WeekendSpec w;
    w.track = "T";
    w.carset = "C";
    w.tail = {7, 8, 9};
    const std::string rec = weekendRecord(w);
    ASSERT_EQ(rec.size(), 184u);
    EXPECT_EQ(rec[0], 'T');
    EXPECT_EQ(rec[16], 'C');
    EXPECT_EQ(rec.substr(113, 4), bytes({2, 0, 0, 0})); // up to the one-week race
    // Practice: type 6, laps 32767, 3600.0f; race: type 7, laps 30, 604800.0f.
    EXPECT_EQ(rec.substr(117, 16), bytes({6, 0, 0xFF, 0x7F, 0x00, 0x00, 0x61, 0x45,  //
                                          7, 0, 30, 0, 0x00, 0xA8, 0x13, 0x49}));
    EXPECT_EQ(rec.substr(133, 48), std::string(48, '\0'));
    EXPECT_EQ(rec.substr(181), bytes({7, 8, 9}));

    w.sessions.assign(9, WeekendSession(SessionType::TESTING, 1, 1.0));
    EXPECT_THROW(weekendRecord(w), std::logic_error);
}

TEST(RpyBuilder, DriverRecordLayout) {
    DriverSpec d;
    d.firstName = std::string(20, 'f');
    d.lastName = "L";
    d.nationality = 28;
    d.tag = "tag";
    d.bytes72 = "b";
    d.driverId = -2;
    d.carIndex = 0x0102;
    d.carClass = 3;
    d.colour = {0xAA, 0xBB, 0xCC};
    d.byte119 = 0xDD;
    d.word120 = 0x11223344;
    d.carId = 0x55667788;
    d.number = 99;
    d.word132 = 1;
    d.tagIsText = -1;
    d.byte137 = 2;
    d.byte138 = 3;
    d.byte139 = 4;
    const std::string rec = driverRecord(d);
    ASSERT_EQ(rec.size(), 140u);
    EXPECT_EQ(rec.substr(0, 16), std::string(16, 'f'));
    EXPECT_EQ(rec.substr(16, 2), bytes({'L', 0}));
    EXPECT_EQ(rec.substr(36, 4), bytes({28, 0, 0, 0}));
    EXPECT_EQ(rec.substr(40, 4), bytes({'t', 'a', 'g', 0}));
    EXPECT_EQ(rec[72], 'b');
    EXPECT_EQ(rec.substr(104, 12), bytes({0xFE, 0xFF, 0xFF, 0xFF, 2, 1, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(rec.substr(116, 8), bytes({0xAA, 0xBB, 0xCC, 0xDD, 0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(rec.substr(124, 12), bytes({0x88, 0x77, 0x66, 0x55, 99, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(rec.substr(136), bytes({0xFF, 2, 3, 4}));
}

TEST(RpyBuilder, ReplayLayoutAndFaults) {
    ReplaySpec r;
    r.drivers.resize(1);
    r.sessions = {SessionSpec{{CarSpec{5, {lapWord(1)}}}}};
    const std::string file = buildReplay(r);
    // Root 12, header 88, weekend 196, drivers 12 + 152, session 12 + 20.
    ASSERT_EQ(file.size(), 12u + 88 + 196 + 164 + 32);
    EXPECT_EQ(file.substr(0, 12), "YLPR" + bytes({2, 0, 0, 0}) + u32le(static_cast<std::uint32_t>(file.size() - 12)));
    EXPECT_EQ(file.substr(12, 4), "DHPR");
    EXPECT_EQ(file.substr(100, 4), "FNKW");
    EXPECT_EQ(file.substr(296, 4), "SLRD");
    EXPECT_EQ(file.substr(308, 4), "TNRD");
    EXPECT_EQ(file.substr(460, 4), "BTPL");
    EXPECT_EQ(file.substr(472, 20), "ORPL" + bytes({0, 0, 0, 0, 8, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(rootData(r), file.substr(12));

    ReplaySpec odd;
    odd.trailing = "junk!";
    odd.root.version = 5;
    const std::string f2 = buildReplay(odd);
    EXPECT_EQ(f2.size() % 4, 0u);
    EXPECT_EQ(f2.substr(4, 8), bytes({5, 0, 0, 0}) + u32le(static_cast<std::uint32_t>(f2.size() - 12 - 3)));

    odd.fileLength = 11;
    EXPECT_EQ(buildReplay(odd), f2.substr(0, 11));
    odd.fileLength = f2.size() + 2;
    EXPECT_EQ(buildReplay(odd), f2 + bytes({0, 0}));
}

TEST(RpyBuilder, FillerIsWrittenAsAHole) {
    testutil::TempDir dir;
    ReplaySpec r;
    r.fillerBytes = 64u << 20;
    const std::string p = writeReplay(dir, "big.rpy", r);
    const std::uint64_t smallSize = buildReplay(ReplaySpec{}).size();
    const std::uint64_t size = std::filesystem::file_size(p);
    EXPECT_EQ(size, smallSize + 12 + (64u << 20));
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_LT(static_cast<std::uint64_t>(st.st_blocks) * 512, 1u << 20); // sparse
#endif

    std::string head(smallSize + 12, '\0');
    std::ifstream in(p, std::ios::binary);
    ASSERT_TRUE(in.read(head.data(), static_cast<std::streamsize>(head.size())));
    EXPECT_EQ(head.substr(4, 8), bytes({2, 0, 0, 0}) + u32le(static_cast<std::uint32_t>(size - 12)));
    EXPECT_EQ(head.substr(smallSize), "XTRA" + u32le(0) + u32le(64u << 20));
}

} // namespace
