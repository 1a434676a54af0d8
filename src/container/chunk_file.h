// Chunk container files: a tree of labelled, sized chunks in one byte range
// (a mapped file, a buffer, or the front of a file read into memory).
// Everything handed out is a view into those bytes; nothing is copied.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "container/byte_reader.h"

// A label for messages: printable ASCII as is, other bytes as \xHH.
std::string printableLabel(std::string_view label);

// A requested chunk label: four bytes.
class ChunkLabel {
public:
    // The label must have exactly four bytes.
    explicit ChunkLabel(std::string_view label);
    std::string_view text() const { return std::string_view(label_.data(), label_.size()); }

private:
    std::array<char, 4> label_{};
};

class ChunkFile;

// One chunk: its file offset and its 12-byte header (label, version, size).
struct Chunk {
    static constexpr std::uint64_t headerSize = 12;
    static constexpr std::uint64_t alignment = 4;

    const ChunkFile* file = nullptr;
    std::uint64_t offset = 0;
    ByteReader header;

    std::string_view label() const { return header.raw(0, 4); }
    std::uint32_t version() const { return header.u32(4); }
    std::uint32_t sizeField() const { return header.u32(8); }
    // Size field rounded up to the alignment; computed in 64 bits so that
    // 0xFFFFFFFF pads to 2^32 instead of wrapping to 0.
    std::uint64_t dataSize() const { return (std::uint64_t(sizeField()) + alignment - 1) / alignment * alignment; }
    std::uint64_t totalSize() const { return headerSize + dataSize(); }
    std::uint64_t dataOffset() const { return offset + headerSize; }
    std::uint64_t endOffset() const { return dataOffset() + dataSize(); }
};

class ChunkFile {
public:
    using Bytes = std::span<const std::uint8_t>;

    // The chunks in bytes, which must outlive the object; fileName names
    // them in messages. Chunks point back at the object, so it stays put.
    ChunkFile(std::string fileName, Bytes bytes) : fileName_(std::move(fileName)), bytes_(bytes), length_(bytes.size()) {}
    // The first bytes of a file of length bytes, read into memory: offsets,
    // checks and messages are the whole file's, and only what lies in
    // prefix can be sliced.
    ChunkFile(std::string fileName, Bytes prefix, std::uint64_t length)
        : fileName_(std::move(fileName)), bytes_(prefix), length_(length), readIn_(true) {}
    ChunkFile(const ChunkFile&) = delete;
    ChunkFile& operator=(const ChunkFile&) = delete;

    const std::string& fileName() const { return fileName_; }
    // The bytes in memory: the whole file, or its front.
    Bytes bytes() const { return bytes_; }
    std::uint64_t length() const { return length_; }
    // The file bytes [from, to); throws when the range leaves the file, or
    // the bytes in memory.
    Bytes slice(std::uint64_t from, std::uint64_t to) const;
    // A hint that part (of bytes()) is read next, so that bytes still on
    // disk come in large reads rather than page by page.
    void willRead(Bytes part) const;
    // Chunk whose 12-byte header starts at offset; throws when it leaves the file.
    Chunk chunkAt(std::uint64_t offset) const;
    // The chunk at offset 0; nothing when the file is too short for one.
    std::optional<Chunk> root() const;
    // The root chunk, which must span the whole file: "Unknown file format
    // reading file X" without one, "Bad file length (...)" when it does not.
    // checkLabel runs in between, so that a file of another kind is named as
    // such before its length is judged.
    template <class CheckLabel>
    Chunk checkedRoot(CheckLabel checkLabel) const {
        const std::optional<Chunk> r = root();
        if (!r) throwUnknownFormat();
        checkLabel(*r);
        checkLength(*r);
        return *r;
    }

private:
    [[noreturn]] void throwUnknownFormat() const;
    void checkLength(const Chunk& root) const;
    [[noreturn]] void outOfFile(std::uint64_t from, std::uint64_t to) const;

    std::string fileName_;
    Bytes bytes_;
    std::uint64_t length_;
    bool readIn_ = false; // bytes_ was read into memory, none of it is left on disk
};

// ---- Walking from a parent to its children ---------------------------------
// Offsets are relative to the parent's data. Each returns what a caller needs
// to step to the next sibling.

// The child at relOffset, checked to fit in the parent and to carry the label.
Chunk subChunk(const Chunk& parent, const ChunkLabel& requested, std::uint64_t relOffset);

// Reads the list chunk at relOffset and appends all its children, each
// checked against itemLabel, to items. Returns the list chunk's totalSize.
std::uint64_t subChunkList(const Chunk& parent, const ChunkLabel& requested, const ChunkLabel& itemLabel,
                           std::vector<Chunk>& items, std::uint64_t relOffset);

// Reads the child at relOffset, requires its padded data size to be exactly
// recordSize and sets record to its data. Returns the child's totalSize.
std::uint64_t chunkData(const Chunk& parent, const ChunkLabel& requested, std::uint64_t recordSize,
                        ByteReader& record, std::uint64_t relOffset);

// The data of a chunk.
ByteReader chunkBytes(const Chunk& chunk);

// The record-size message: "Chunk <label> size and destination type size are
// not equal (<have> != <want>)".
[[noreturn]] void throwRecordSize(const Chunk& chunk, std::uint64_t want);
