#include "container/chunk_file.h"

#include <cstring>
#include <stdexcept>

#include "platform/platform.h"
#include "text/format.h"

std::string printableLabel(std::string_view label) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : label) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b <= 0x7E) {
            out += c;
        } else {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        }
    }
    return out;
}

ChunkLabel::ChunkLabel(std::string_view label) {
    if (label.size() != label_.size())
        throw std::logic_error("chunk label needs four bytes: " + printableLabel(label));
    std::memcpy(label_.data(), label.data(), label_.size());
}

// ---- ChunkFile -------------------------------------------------------------

void ChunkFile::outOfFile(std::uint64_t from, std::uint64_t to) const {
    throw std::runtime_error(formatText("Error reading file %s: bytes %d to %d lie outside the file (length %d)",
                                        fileName_, from, to, length()));
}

ChunkFile::Bytes ChunkFile::slice(std::uint64_t from, std::uint64_t to) const {
    if (from > to || to > length()) outOfFile(from, to);
    // Whoever read the front of the file read all that its readers look at;
    // should that ever fail, no memory past it is handed out.
    if (to > bytes_.size())
        throw std::runtime_error(
            formatText("Error reading file %s: bytes %d to %d were not read into memory", fileName_, from, to));
    return bytes_.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

void ChunkFile::willRead(Bytes part) const {
    if (!readIn_) platform::willRead(part.data(), part.size());
}

Chunk ChunkFile::chunkAt(std::uint64_t offset) const {
    if (offset > length() || length() - offset < Chunk::headerSize) outOfFile(offset, offset + Chunk::headerSize);
    return Chunk{this, offset, ByteReader(slice(offset, offset + Chunk::headerSize))};
}

std::optional<Chunk> ChunkFile::root() const {
    if (length() < Chunk::headerSize) return std::nullopt;
    return chunkAt(0);
}

void ChunkFile::throwUnknownFormat() const {
    throw std::runtime_error("Unknown file format reading file " + fileName_);
}

void ChunkFile::checkLength(const Chunk& root) const {
    if (Chunk::headerSize + root.dataSize() != length())
        throw std::runtime_error(
            formatText("Bad file length (%d != %d) reading file %s", root.dataSize(), length(), fileName_));
}

// ---- Walking ---------------------------------------------------------------

namespace {

[[noreturn]] void throwExceeded(const Chunk& parent, const ChunkLabel& requested, std::uint64_t childOffset) {
    throw std::runtime_error(formatText("Error reading file %s: chunk label '%s' (%s) data size exceeded at offset %d",
                                        parent.file->fileName(), printableLabel(parent.label()),
                                        printableLabel(requested.text()), childOffset));
}

} // namespace

Chunk subChunk(const Chunk& parent, const ChunkLabel& requested, std::uint64_t relOffset) {
    const ChunkFile& file = *parent.file;
    const std::uint64_t parentEnd = parent.endOffset();
    const std::uint64_t childOffset = parent.dataOffset() + relOffset;
    // relOffset comes from sizes already bounded by the parent, so this sum
    // cannot wrap; guard anyway against a caller passing garbage.
    if (childOffset < relOffset || childOffset > parentEnd || parentEnd - childOffset < Chunk::headerSize)
        throwExceeded(parent, requested, childOffset);
    Chunk child = file.chunkAt(childOffset);
    if (child.dataSize() > parentEnd - child.dataOffset()) throwExceeded(parent, requested, childOffset);
    if (child.label() != requested.text())
        throw std::runtime_error(formatText("Error reading file %s: chunk label '%s' does not match requested label '%s'",
                                            file.fileName(), printableLabel(child.label()),
                                            printableLabel(requested.text())));
    return child;
}

std::uint64_t subChunkList(const Chunk& parent, const ChunkLabel& requested, const ChunkLabel& itemLabel,
                           std::vector<Chunk>& items, std::uint64_t relOffset) {
    const Chunk list = subChunk(parent, requested, relOffset);
    // The items are read next: in one go, not a page at a time.
    list.file->willRead(chunkBytes(list).bytes());
    for (std::uint64_t pos = 0; pos < list.dataSize();) {
        Chunk item = subChunk(list, itemLabel, pos);
        pos += item.totalSize();
        items.push_back(item);
    }
    return list.totalSize();
}

void throwRecordSize(const Chunk& chunk, std::uint64_t want) {
    throw std::runtime_error("Chunk " + printableLabel(chunk.label()) +
                             " size and destination type size are not equal (" + std::to_string(chunk.dataSize()) +
                             " != " + std::to_string(want) + ")");
}

ByteReader chunkBytes(const Chunk& chunk) {
    return ByteReader(chunk.file->slice(chunk.dataOffset(), chunk.endOffset()));
}

std::uint64_t chunkData(const Chunk& parent, const ChunkLabel& requested, std::uint64_t recordSize,
                        ByteReader& record, std::uint64_t relOffset) {
    const Chunk child = subChunk(parent, requested, relOffset);
    if (child.dataSize() != recordSize) throwRecordSize(child, recordSize);
    record = chunkBytes(child);
    return child.totalSize();
}
