#include "chunkfile.h"

#include "platform/platform.h"
#include "undead/doformat.h"

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

ChunkLbl::ChunkLbl(std::string_view lbl, std::uint32_t ver) : version(ver) {
    if (lbl.size() != label.size())
        throw std::logic_error("chunk label needs four bytes: " + printableLabel(lbl));
    std::memcpy(label.data(), lbl.data(), label.size());
}

// ---- Chunk -----------------------------------------------------------------

std::string_view Chunk::label() const {
    if (!header) return std::string_view("\xFF\xFF\xFF\xFF", 4);
    return std::string_view(reinterpret_cast<const char*>(header), 4);
}

std::uint32_t Chunk::version() const {
    if (!header) return 0;
    return file ? file->versionOf(lblView()) : rawVersion();
}

std::uint64_t Chunk::dataSize() const {
    const std::uint64_t size = sizeField();
    const std::uint64_t unit = alignment ? alignment : 1;
    const std::uint64_t rest = size % unit;
    return rest == 0 ? size : size + (unit - rest);
}

// ---- ChunkFile -------------------------------------------------------------

ChunkFile::ChunkFile(const std::string& fileName)
    : versionOf_([](ChunkLblView h) { return h.version(); }) {
    // An unexaminable path escapes as FileError; the caller tells it apart.
    if (platform::examineIsDirectory(fileName)) throw std::runtime_error(fileName + " is not a file");
    mapFile(fileName);
}

ChunkFile::~ChunkFile() = default;

void ChunkFile::mapFile(const std::string& fileName) {
    std::unique_ptr<platform::FileMapping> m;
    try {
        m = std::make_unique<platform::FileMapping>(fileName);
    } catch (const platform::FileError& e) {
        // Only path examination failures travel as FileError.
        throw std::runtime_error(e.what());
    }
    mapping_ = std::move(m);
    fileName_ = fileName;
    fileHeader_.reset();
    if (length() >= Chunk::headerSize) fileHeader_ = headerAt(bytes(), 0);
}

void ChunkFile::outOfFile(std::uint64_t from, std::uint64_t to) const {
    throw std::runtime_error(doformat("Error reading file %s: bytes %d to %d lie outside the file (length %d)",
                                      fileName_, from, to, length()));
}

ChunkLblView ChunkFile::headerAt(Bytes range, std::uint64_t offset) const {
    if (offset > range.size() || range.size() - offset < 8) outOfFile(offset, offset + 8);
    return ChunkLblView(range.data() + offset);
}

ChunkLblView ChunkFile::labelAt(std::uint64_t offset) const { return headerAt(bytes(), offset); }

ChunkLblView ChunkFile::checkLabel(std::uint64_t offset, const ChunkLbl& expected) const {
    ChunkLblView h = labelAt(offset);
    if (h.label() != expected.text())
        throw std::runtime_error("Bad chunk label (" + printableLabel(h.label()) + " != " +
                                 printableLabel(expected.text()) + ")");
    if (expected.version != 0 && h.version() != expected.version)
        throw std::runtime_error("Bad chunk " + printableLabel(h.label()) + " version (" +
                                 std::to_string(h.version()) + " != " + std::to_string(expected.version) +
                                 ")");
    return h;
}

Chunk ChunkFile::open(const std::string& fileName) {
    mapFile(fileName);
    return checkHeader();
}

Chunk ChunkFile::checkHeader() {
    if (!fileHeader_) throw std::runtime_error("Unknown file format reading file " + fileName_);
    Chunk root = chunkAt(0);
    if (root.label() != "YLPR")
        throw std::runtime_error(doformat("Unknown file header '%s' reading file %s",
                                          printableLabel(root.label()), fileName_));
    if (Chunk::headerSize + root.dataSize() != length())
        throw std::runtime_error(
            doformat("Bad file length (%d != %d) reading file %s", root.dataSize(), length(), fileName_));
    return root;
}

void ChunkFile::close() {
    mapping_.reset();
    fileHeader_.reset();
}

ChunkFile::Bytes ChunkFile::bytes() const {
    if (!mapping_) return {};
    return Bytes(mapping_->data(), static_cast<std::size_t>(mapping_->size()));
}

ChunkFile::Bytes ChunkFile::slice(std::uint64_t from, std::uint64_t to) const {
    if (from > to || to > length()) outOfFile(from, to);
    return bytes().subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

std::uint8_t ChunkFile::byteAt(std::uint64_t pos) const { return slice(pos, pos + 1)[0]; }

std::uint64_t ChunkFile::length() const { return mapping_ ? mapping_->size() : 0; }

std::uint32_t ChunkFile::fileVersion() const { return fileHeader_ ? fileHeader_->version() : 0; }

Chunk ChunkFile::chunkAt(std::uint64_t offset) const {
    // The size field follows the 8 bytes of label and version.
    if (offset > length() || length() - offset < Chunk::headerSize)
        outOfFile(offset, offset + Chunk::headerSize);
    Chunk c;
    c.file = this;
    c.offset = offset;
    c.header = labelAt(offset).bytes();
    c.valid = true;
    c.alignment = 4;
    return c;
}

// ---- Walking ---------------------------------------------------------------

namespace {

[[noreturn]] void throwExceeded(const Chunk& parent, const ChunkLbl& requested, std::uint64_t childOffset) {
    throw std::runtime_error(doformat("Error reading file %s: chunk label '%s' (%s) data size exceeded at offset %d",
                                      parent.file->fileName(), printableLabel(parent.label()),
                                      printableLabel(requested.text()), childOffset));
}

const ChunkFile& fileOf(const Chunk& parent) {
    if (!parent.valid || !parent.file) throw std::logic_error("chunk read from an invalid parent chunk");
    return *parent.file;
}

} // namespace

Chunk subChunk(const Chunk& parent, const ChunkLbl& requested, std::uint64_t relOffset) {
    const ChunkFile& file = fileOf(parent);
    const std::uint64_t parentEnd = parent.endOffset();
    const std::uint64_t childOffset = parent.dataOffset() + relOffset;
    // relOffset comes from sizes already bounded by the parent, so this sum
    // cannot wrap; guard anyway against a caller passing garbage.
    if (childOffset < relOffset || childOffset > parentEnd || parentEnd - childOffset < Chunk::headerSize)
        throwExceeded(parent, requested, childOffset);
    Chunk child = file.chunkAt(childOffset);
    if (child.dataSize() > parentEnd - child.dataOffset()) throwExceeded(parent, requested, childOffset);
    if (child.label() != requested.text())
        throw std::runtime_error(doformat("Error reading file %s: chunk label '%s' does not match requested label '%s'",
                                          file.fileName(), printableLabel(child.label()),
                                          printableLabel(requested.text())));
    return child;
}

std::uint64_t subChunkList(const Chunk& parent, const ChunkLbl& requested, const ChunkLbl& itemLabel,
                           std::vector<Chunk>& items, std::uint64_t relOffset) {
    const Chunk list = subChunk(parent, requested, relOffset);
    items.reserve(32);
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

std::uint64_t chunkData(const Chunk& parent, const ChunkLbl& requested, std::uint64_t recordSize,
                        ChunkFile::Bytes& view, std::uint64_t relOffset) {
    const Chunk child = subChunk(parent, requested, relOffset);
    if (child.dataSize() != recordSize) throwRecordSize(child, recordSize);
    view = child.file->slice(child.dataOffset(), child.endOffset());
    return child.totalSize();
}
