#include "container/chunk_file.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "rpybuilder.h"
#include "testutil.h"

using rpybuilder::chunk;
using rpybuilder::u32le;

namespace {

using testutil::errorOf;

// The chunk layer takes any root label; the replay layer names its own.
void anyLabel(const Chunk&) {}

class ChunkFileTest : public ::testing::Test {
protected:
    // Keeps the bytes for the test's life; returns the name messages use.
    const std::string& write(std::string bytes, const std::string& name = "f.rpy") {
        return files_.insert_or_assign(name, std::move(bytes)).first->first;
    }
    ChunkFile open(const std::string& name) const { return ChunkFile(name, rpybuilder::byteSpan(files_.at(name))); }

private:
    std::map<std::string, std::string> files_;
};

// ---- File checks -------------------------------------------------------------

TEST_F(ChunkFileTest, EmptyRootOfTwelveBytesPasses) {
    ChunkFile f = open(write(chunk("YLPR", 0, "")));
    const Chunk root = f.checkedRoot(anyLabel);
    EXPECT_EQ(root.file, &f);
    EXPECT_EQ(root.offset, 0u);
    EXPECT_EQ(root.label(), "YLPR");
    EXPECT_EQ(root.dataSize(), 0u);
    EXPECT_EQ(root.totalSize(), 12u);
    EXPECT_EQ(f.length(), 12u);
    EXPECT_EQ(f.chunkAt(0).header.bytes().data(), root.header.bytes().data());
}

TEST_F(ChunkFileTest, FilesShorterThanAHeaderHaveUnknownFormat) {
    for (const std::string& bytes : {std::string(), std::string("YLPR\0\0\0\0\0\0\0", 11)}) {
        const std::string path = write(bytes);
        ChunkFile f = open(path);
        EXPECT_FALSE(f.root().has_value());
        EXPECT_EQ(errorOf([&] { f.checkedRoot(anyLabel); }), "Unknown file format reading file " + path)
            << bytes.size() << " bytes";
    }
}

TEST_F(ChunkFileTest, FileLengthMustMatchPaddedRootSize) {
    // Size 5 pads to 8, so the file must have 20 bytes.
    const std::string header = std::string("YLPR") + u32le(0) + u32le(5);
    const std::string p17 = write(header + "abcde", "short.rpy");
    ChunkFile f17 = open(p17);
    EXPECT_EQ(errorOf([&] { f17.checkedRoot(anyLabel); }), "Bad file length (8 != 17) reading file " + p17);

    ChunkFile f20 = open(write(header + std::string("abcde\0\0\0", 8), "ok.rpy"));
    EXPECT_EQ(f20.checkedRoot(anyLabel).dataSize(), 8u);
}

TEST_F(ChunkFileTest, HugeRootSizeDoesNotWrap) {
    // A 32-bit sum would wrap 12 + 2^32 to 12 and accept this file.
    const std::string p = write(std::string("YLPR") + u32le(0) + u32le(0xFFFFFFFF));
    ChunkFile f = open(p);
    EXPECT_EQ(f.chunkAt(0).dataSize(), 4294967296u);
    EXPECT_EQ(errorOf([&] { f.checkedRoot(anyLabel); }), "Bad file length (4294967296 != 12) reading file " + p);
}

TEST_F(ChunkFileTest, ByteAccessStaysInsideTheFile) {
    const std::string p = write(chunk("YLPR", 3, "wxyz"));
    ChunkFile f = open(p);
    EXPECT_EQ(f.bytes().size(), 16u);
    EXPECT_EQ(f.slice(12, 16)[3], 'z');
    EXPECT_EQ(f.slice(12, 14).size(), 2u);
    EXPECT_EQ(f.chunkAt(0).version(), 3u);
    EXPECT_EQ(chunkBytes(f.chunkAt(0)).text(0, 4), "wxyz");
    EXPECT_EQ(errorOf([&] { f.slice(8, 17); }),
              "Error reading file " + p + ": bytes 8 to 17 lie outside the file (length 16)");
    EXPECT_THROW(f.slice(9, 8), std::runtime_error);
    EXPECT_THROW(f.slice(0xFFFFFFFFFFFFFFF0u, 0xFFFFFFFFFFFFFFFFu), std::runtime_error);
    EXPECT_THROW(f.chunkAt(8), std::runtime_error);
    EXPECT_THROW(f.chunkAt(0xFFFFFFFFFFFFFFF8u), std::runtime_error);
}

TEST_F(ChunkFileTest, AFrontReadIntoMemoryAnswersForTheWholeFile) {
    const std::string whole = chunk("YLPR", 0, chunk("AAAA", 0, "1234") + std::string(100, 'x'));
    const std::string front = whole.substr(0, 28); // the root's header and the first child
    const ChunkFile f("f.rpy", rpybuilder::byteSpan(front), whole.size());
    EXPECT_EQ(f.length(), whole.size());
    const Chunk root = f.checkedRoot(anyLabel); // the length checked is the file's
    EXPECT_EQ(chunkBytes(subChunk(root, ChunkLabel("AAAA"), 0)).text(0, 4), "1234");
    EXPECT_EQ(errorOf([&] { f.slice(24, 29); }), "Error reading file f.rpy: bytes 24 to 29 were not read into memory");
    EXPECT_EQ(errorOf([&] { f.slice(24, 129); }),
              "Error reading file f.rpy: bytes 24 to 129 lie outside the file (length 128)");
}

TEST(ByteReaderTest, LittleEndianFieldsInsideTheRange) {
    const std::string s("\x01\x82\x03\xF4\x45\x00" "ab\0c", 10);
    const ByteReader r(ByteReader::Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    EXPECT_EQ(r.u8(1), 0x82);
    EXPECT_EQ(r.i8(1), -126);
    EXPECT_EQ(r.u16(0), 0x8201);
    EXPECT_EQ(r.i16(2), static_cast<std::int16_t>(0xF403));
    EXPECT_EQ(r.u32(1), 0x45F40382u);
    EXPECT_EQ(r.i32(2), 0x0045F403);
    EXPECT_EQ(r.raw(6, 4), std::string("ab\0c", 4));
    EXPECT_EQ(r.text(6, 4), "ab");
    EXPECT_EQ(r.text(6, 2), "ab");
    EXPECT_EQ(r.text(10, 0), "");
    for (auto [at, width] : {std::pair<std::size_t, std::size_t>{9, 2}, {10, 1}, {11, 0}, {7, SIZE_MAX}})
        EXPECT_THROW(r.raw(at, width), std::out_of_range) << at << "+" << width;
    EXPECT_THROW(r.u32(7), std::out_of_range);
    EXPECT_THROW(ByteReader().u8(0), std::out_of_range);
}

// ---- Walking -----------------------------------------------------------------

TEST_F(ChunkFileTest, SubChunkAddressesChildrenInsideTheParentData) {
    const std::string kids = chunk("AAAA", 0, "12345") + chunk("BBBB", 0, "");
    ChunkFile f = open(write(chunk("YLPR", 0, kids)));
    const Chunk root = f.checkedRoot(anyLabel);
    const Chunk a = subChunk(root, ChunkLabel("AAAA"), 0);
    EXPECT_EQ(a.offset, 12u);
    EXPECT_EQ(a.dataSize(), 8u);
    EXPECT_EQ(a.totalSize(), 20u);
    const Chunk b = subChunk(root, ChunkLabel("BBBB"), a.totalSize());
    EXPECT_EQ(b.offset, 32u);
    EXPECT_EQ(b.endOffset(), root.endOffset()); // ends exactly at the parent end
}

TEST_F(ChunkFileTest, ChildBeyondItsParentIsReportedWithItsOffset) {
    // PRNT at 12 holds 16 data bytes from 24; its child claims 5 bytes,
    // which pad to 8 and end 4 bytes past PRNT.
    const std::string child = std::string("CHLD") + u32le(0) + u32le(5) + "abcd";
    const std::string p = write(chunk("YLPR", 0, chunk("PRNT", 0, child) + chunk("NEXT", 0, "abcd")));
    ChunkFile f = open(p);
    const Chunk parent = subChunk(f.checkedRoot(anyLabel), ChunkLabel("PRNT"), 0);
    const std::string exceeded =
        "Error reading file " + p + ": chunk label 'PRNT' (CHLD) data size exceeded at offset 24";
    EXPECT_EQ(errorOf([&] { subChunk(parent, ChunkLabel("CHLD"), 0); }), exceeded);
    // The size check comes before the label check.
    EXPECT_EQ(errorOf([&] { subChunk(parent, ChunkLabel("XXXX"), 0); }),
              "Error reading file " + p + ": chunk label 'PRNT' (XXXX) data size exceeded at offset 24");
    // Fewer than 12 bytes left, or an offset past the end, fail the same way.
    EXPECT_EQ(errorOf([&] { subChunk(parent, ChunkLabel("CHLD"), 8); }),
              "Error reading file " + p + ": chunk label 'PRNT' (CHLD) data size exceeded at offset 32");
    EXPECT_EQ(errorOf([&] { subChunk(parent, ChunkLabel("CHLD"), 1000); }),
              "Error reading file " + p + ": chunk label 'PRNT' (CHLD) data size exceeded at offset 1024");
}

TEST_F(ChunkFileTest, HugeChildSizeDoesNotWrap) {
    const std::string child = std::string("CHLD") + u32le(0) + u32le(0xFFFFFFFF);
    const std::string p = write(chunk("YLPR", 0, child));
    ChunkFile f = open(p);
    EXPECT_EQ(errorOf([&] { subChunk(f.checkedRoot(anyLabel), ChunkLabel("CHLD"), 0); }),
              "Error reading file " + p + ": chunk label 'YLPR' (CHLD) data size exceeded at offset 12");
}

TEST_F(ChunkFileTest, ChildLabelMustMatchTheRequest) {
    const std::string p = write(chunk("YLPR", 0, chunk(std::string("AB\x7F\x80", 4), 0, "")));
    ChunkFile f = open(p);
    EXPECT_EQ(errorOf([&] { subChunk(f.checkedRoot(anyLabel), ChunkLabel("ABCD"), 0); }),
              "Error reading file " + p + ": chunk label 'AB\\x7F\\x80' does not match requested label 'ABCD'");
}

TEST_F(ChunkFileTest, SubChunkListCollectsEveryItem) {
    const std::string items = chunk("ITEM", 0, "a") + chunk("ITEM", 0, "") + chunk("ITEM", 0, "abcdefgh");
    ChunkFile f = open(write(chunk("YLPR", 0, chunk("LIST", 0, "") + chunk("LIST", 0, items))));
    const Chunk root = f.checkedRoot(anyLabel);

    std::vector<Chunk> got;
    EXPECT_EQ(subChunkList(root, ChunkLabel("LIST"), ChunkLabel("ITEM"), got, 0), 12u);
    EXPECT_TRUE(got.empty());

    EXPECT_EQ(subChunkList(root, ChunkLabel("LIST"), ChunkLabel("ITEM"), got, 12), 12u + 16 + 12 + 20);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].offset, 36u);
    EXPECT_EQ(got[1].offset, 52u);
    EXPECT_EQ(got[2].offset, 64u);
    EXPECT_EQ(got[2].dataSize(), 8u);
}

TEST_F(ChunkFileTest, SubChunkListChecksEachItem) {
    const std::string p = write(chunk("YLPR", 0,
                                      chunk("LIST", 0, chunk("ITEM", 0, "") + chunk("ITEX", 0, "")) +
                                          chunk("LIST", 0, chunk("ITEM", 0, "abcd", 8))));
    ChunkFile f = open(p);
    const Chunk root = f.checkedRoot(anyLabel);
    std::vector<Chunk> got;
    EXPECT_EQ(errorOf([&] { subChunkList(root, ChunkLabel("LIST"), ChunkLabel("ITEM"), got, 0); }),
              "Error reading file " + p + ": chunk label 'ITEX' does not match requested label 'ITEM'");
    EXPECT_EQ(errorOf([&] { subChunkList(root, ChunkLabel("LIST"), ChunkLabel("ITEM"), got, 36); }),
              "Error reading file " + p + ": chunk label 'LIST' (ITEM) data size exceeded at offset 60");
}

TEST_F(ChunkFileTest, ChunkDataViewsPaddedRecordsInPlace) {
    const std::string record(74, 'r');
    const std::string p = write(chunk("YLPR", 0, chunk("DHPR", 0, record) + chunk("DHPR", 0, std::string(72, 'r'))));
    ChunkFile f = open(p);
    const Chunk root = f.checkedRoot(anyLabel);
    ByteReader view;
    EXPECT_EQ(chunkData(root, ChunkLabel("DHPR"), 76, view, 0), 88u);
    EXPECT_EQ(view.bytes().data(), f.bytes().data() + 24); // a view, not a copy
    EXPECT_EQ(view.size(), 76u);
    EXPECT_EQ(view.u8(73), 'r');
    EXPECT_EQ(view.u8(74), 0);
    EXPECT_EQ(errorOf([&] { chunkData(root, ChunkLabel("DHPR"), 76, view, 88); }),
              "Chunk DHPR size and destination type size are not equal (72 != 76)");
}

TEST(PrintableLabel, EscapesEverythingOutsidePrintableAscii) {
    EXPECT_EQ(printableLabel("YLPR"), "YLPR");
    EXPECT_EQ(printableLabel(std::string(" ~\x1F\xFF", 4)), " ~\\x1F\\xFF");
    EXPECT_EQ(ChunkLabel("ABCD").text(), "ABCD");
    EXPECT_THROW(ChunkLabel("ABC"), std::logic_error);
}

} // namespace
