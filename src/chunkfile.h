// Chunk container files: a tree of labelled, sized chunks in one mapped file.
// Everything handed out is a view into the mapping; nothing is copied.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class FileMapping;
}

// ---- Little-endian accessors (never cast bytes to wider types) -------------

inline std::uint8_t readU8(const std::uint8_t* p) { return p[0]; }
inline std::int8_t readI8(const std::uint8_t* p) { return static_cast<std::int8_t>(p[0]); }
inline std::uint16_t readU16LE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t readI16LE(const std::uint8_t* p) {
    return static_cast<std::int16_t>(readU16LE(p));
}
inline std::uint32_t readU32LE(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline std::int32_t readI32LE(const std::uint8_t* p) {
    return static_cast<std::int32_t>(readU32LE(p));
}

// Text of a fixed-width field: its bytes up to the first NUL or the field end.
inline std::string_view fixedText(const std::uint8_t* p, std::size_t width) {
    const char* s = reinterpret_cast<const char*>(p);
    const void* nul = std::memchr(s, 0, width);
    return std::string_view(s, nul ? static_cast<const char*>(nul) - s : width);
}

// A label for messages: printable ASCII as is, other bytes as \xHH.
std::string printableLabel(std::string_view label);

// ---- Labels ----------------------------------------------------------------

// A requested label and version; version 0 means any version.
struct ChunkLbl {
    std::array<char, 4> label{'\xFF', '\xFF', '\xFF', '\xFF'};
    std::uint32_t version = 0;

    ChunkLbl() = default;
    // The label must have exactly four bytes.
    explicit ChunkLbl(std::string_view lbl, std::uint32_t ver = 0);

    std::string_view text() const { return std::string_view(label.data(), label.size()); }
    bool operator==(const ChunkLbl&) const = default;
};

// Label and version of a chunk header, read in place (8 bytes).
class ChunkLblView {
public:
    ChunkLblView() = default;
    explicit ChunkLblView(const std::uint8_t* p) : p_(p) {}

    bool isNull() const { return p_ == nullptr; }
    const std::uint8_t* bytes() const { return p_; }
    std::string_view label() const { return std::string_view(reinterpret_cast<const char*>(p_), 4); }
    // The raw version field.
    std::uint32_t version() const { return readU32LE(p_ + 4); }

private:
    const std::uint8_t* p_ = nullptr;
};

// ---- Chunks ----------------------------------------------------------------

class ChunkFile;

// Handle of one chunk: its file offset and a view of its 12-byte header.
struct Chunk {
    static constexpr std::uint64_t headerSize = 12;

    const ChunkFile* file = nullptr;
    std::uint64_t offset = 0;
    const std::uint8_t* header = nullptr;
    bool valid = false;
    std::uint8_t alignment = 4;

    // Four 0xFF bytes for a default chunk.
    std::string_view label() const;
    std::uint32_t rawVersion() const { return header ? readU32LE(header + 4) : 0; }
    // The version as the file's version hook interprets it.
    std::uint32_t version() const;
    std::uint32_t sizeField() const { return header ? readU32LE(header + 8) : 0; }
    // Size field rounded up to the alignment; computed in 64 bits so that
    // 0xFFFFFFFF pads to 2^32 instead of wrapping to 0.
    std::uint64_t dataSize() const;
    std::uint64_t totalSize() const { return headerSize + dataSize(); }
    std::uint64_t dataOffset() const { return offset + headerSize; }
    std::uint64_t endOffset() const { return dataOffset() + dataSize(); }
    ChunkLblView lblView() const { return ChunkLblView(header); }

    bool operator==(const Chunk&) const = default;
};

// ---- The file --------------------------------------------------------------

class ChunkFile {
public:
    using Bytes = std::span<const std::uint8_t>;
    using VersionHook = std::function<std::uint32_t(ChunkLblView)>;

    // Throws platform::FileError when the path cannot be examined at all,
    // std::runtime_error when it is a directory or cannot be opened/mapped.
    explicit ChunkFile(const std::string& fileName);
    virtual ~ChunkFile();
    ChunkFile(const ChunkFile&) = delete;
    ChunkFile& operator=(const ChunkFile&) = delete;

    // View of 8 bytes at offset inside range.
    virtual ChunkLblView headerAt(Bytes range, std::uint64_t offset) const;
    // View of the file bytes [offset, offset + 8).
    virtual ChunkLblView labelAt(std::uint64_t offset) const;
    virtual ChunkLblView checkLabel(std::uint64_t offset, const ChunkLbl& expected) const;
    // Maps another file (no directory test) and checks its header.
    virtual Chunk open(const std::string& fileName);
    // File format, magic and file length; returns the root chunk.
    virtual Chunk checkHeader();
    virtual void close();
    virtual Bytes bytes() const;
    // The file bytes [from, to); throws when the range leaves the file.
    virtual Bytes slice(std::uint64_t from, std::uint64_t to) const;
    virtual std::uint8_t byteAt(std::uint64_t pos) const;
    virtual std::uint64_t length() const;
    // Raw version field of the file header (0 when the file has none).
    virtual std::uint32_t fileVersion() const;
    // Chunk whose 12-byte header starts at offset; throws when it leaves the file.
    virtual Chunk chunkAt(std::uint64_t offset) const;

    const std::string& fileName() const { return fileName_; }
    const std::optional<ChunkLblView>& fileHeader() const { return fileHeader_; }
    std::uint32_t versionOf(ChunkLblView h) const { return versionOf_(h); }

protected:
    void setVersionHook(VersionHook hook) { versionOf_ = std::move(hook); }
    // Maps the file and records its name and header.
    void mapFile(const std::string& fileName);

private:
    [[noreturn]] void outOfFile(std::uint64_t from, std::uint64_t to) const;

    std::unique_ptr<platform::FileMapping> mapping_;
    std::string fileName_;
    std::optional<ChunkLblView> fileHeader_;
    VersionHook versionOf_;
};

// ---- Walking from a parent to its children ---------------------------------
// Offsets are relative to the parent's data. The requested version is not
// checked. Each returns what a caller needs to step to the next sibling.

// The child at relOffset, checked to fit in the parent and to carry the label.
Chunk subChunk(const Chunk& parent, const ChunkLbl& requested, std::uint64_t relOffset);

// Reads the list chunk at relOffset and appends all its children, each
// checked against itemLabel, to items. Returns the list chunk's totalSize.
std::uint64_t subChunkList(const Chunk& parent, const ChunkLbl& requested,
                           const ChunkLbl& itemLabel, std::vector<Chunk>& items,
                           std::uint64_t relOffset);

// Reads the child at relOffset, requires its padded data size to be exactly
// recordSize and sets view to its data. Returns the child's totalSize.
std::uint64_t chunkData(const Chunk& parent, const ChunkLbl& requested, std::uint64_t recordSize,
                        ChunkFile::Bytes& view, std::uint64_t relOffset);

// The same for a record view type with a static `size` and a constructor
// from the record's first byte.
template <class Record>
std::uint64_t chunkData(const Chunk& parent, const ChunkLbl& requested, Record& view,
                        std::uint64_t relOffset) {
    ChunkFile::Bytes bytes;
    std::uint64_t total = chunkData(parent, requested, Record::size, bytes, relOffset);
    view = Record(bytes.data());
    return total;
}

// The record-size message: "Chunk <label> size and destination type size are
// not equal (<have> != <want>)".
[[noreturn]] void throwRecordSize(const Chunk& chunk, std::uint64_t want);
