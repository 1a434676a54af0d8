#include "replay/replay_file.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/platform.h"
#include "text/format.h"

std::string toString(Game g) {
    switch (g) {
    case Game::UNK: return "UNK";
    case Game::GPL: return "GPL";
    case Game::N4: return "N4";
    case Game::N2K2: return "N2K2";
    case Game::N2K3: return "N2K3";
    case Game::IRAC: return "IRAC";
    }
    return "cast(Game)" + std::to_string(static_cast<unsigned>(g));
}

std::uint32_t replayVersion(std::uint32_t rawVersion) {
    return (rawVersion & 0xFF) == 2 ? 2 : rawVersion;
}

Game gameOfVersion(std::uint32_t version) {
    if (version <= 2) return Game::GPL;
    if (version == 3) return Game::N4;
    if (version == 5) return Game::N2K3;
    if (version >= 9 && version <= 15) return Game::IRAC;
    return Game::UNK;
}

namespace {

// Opens the replay at path, worded as a single replay's run words it.
platform::ReadOnlyFile openReplay(const std::string& path) {
    try {
        return platform::ReadOnlyFile(path);
    } catch (const platform::OpenError& e) {
        switch (e.cause()) {
        case platform::OpenError::Cause::UNEXAMINABLE: throw ReplayAccessError(e.what());
        case platform::OpenError::Cause::DIRECTORY: throw std::runtime_error(path + " is not a file");
        case platform::OpenError::Cause::UNREADABLE: break;
        }
        // A path that could be examined but not opened is an ordinary failure.
        throw std::runtime_error(e.what());
    }
}

// Reads run on to the end of a page, which the system reads whole anyway.
constexpr std::uint64_t pageSize = 4096;
// Most replays' records fit. Larger ones are mapped instead: copying them
// into fresh memory costs more than mapping the file.
constexpr std::uint64_t maxReadBytes = std::uint64_t(64) << 10;

// The front of a replay file, read into one buffer that never moves.
class FrontReader {
public:
    explicit FrontReader(const platform::ReadOnlyFile& file) : file_(file) { bytes_.reserve(maxReadBytes); }

    // Makes the bytes before to available, reading on to the end of its page
    // where the file goes on; false when they lie past maxReadBytes.
    bool need(std::uint64_t to) {
        if (to <= bytes_.size()) return true;
        if (to > maxReadBytes) return false;
        const std::size_t have = bytes_.size();
        bytes_.resize(static_cast<std::size_t>(std::min((to + pageSize - 1) / pageSize * pageSize, file_.size())));
        file_.readAt(have, bytes_.data() + have, bytes_.size() - have);
        return true;
    }
    // The 12-byte header at offset, which need has brought in.
    Chunk chunkAt(std::uint64_t offset) const {
        if (offset + Chunk::headerSize > bytes_.size()) throw std::logic_error("chunk header not read");
        return Chunk{nullptr, offset, ByteReader(ChunkFile::Bytes(bytes_).subspan(offset, Chunk::headerSize))};
    }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    const platform::ReadOnlyFile& file_;
    std::vector<std::uint8_t> bytes_;
};

// Reads the chunks of a replay's records, in the order the replay reader
// walks them: the root's header, the header, weekend and driver list, the
// sessions, and the header of the chunk after them (or up to the root's
// end), whose label ends the sessions. Nothing when the layout is anything
// but the usual one, where the reader's own checks are to speak, or when
// the records are too large to copy.
std::optional<std::vector<std::uint8_t>> readRecords(const platform::ReadOnlyFile& file) {
    if (file.size() < Chunk::headerSize) return std::nullopt;
    FrontReader front(file);
    front.need(Chunk::headerSize);
    const Chunk root = front.chunkAt(0);
    if (root.label() != "YLPR" || root.totalSize() != file.size()) return std::nullopt;
    const std::uint64_t end = root.endOffset();
    std::uint64_t at = root.dataOffset();
    // Reads the chunk and the next one's header with it; false when it does
    // not fit in the root or in memory.
    const auto readChunk = [&](const Chunk& chunk) {
        if (chunk.dataSize() > end - chunk.dataOffset()) return false;
        at = chunk.endOffset();
        return front.need(std::min(at + Chunk::headerSize, end));
    };
    if (!front.need(std::min(at + Chunk::headerSize, end))) return std::nullopt;
    for (const char* label : {"DHPR", "FNKW", "SLRD"}) {
        if (end - at < Chunk::headerSize) return std::nullopt;
        const Chunk chunk = front.chunkAt(at);
        if (chunk.label() != label || !readChunk(chunk)) return std::nullopt;
    }
    while (end - at >= Chunk::headerSize) {
        const Chunk chunk = front.chunkAt(at);
        if (chunk.label() != "BTPL") break;
        if (!readChunk(chunk)) return std::nullopt;
    }
    return front.take();
}

// The root chunk of a replay: its label, the file's length and the game.
Chunk replayRoot(const ChunkFile& file) {
    const Chunk root = file.checkedRoot([&file](const Chunk& r) {
        if (r.label() != "YLPR")
            throw std::runtime_error(formatText("Unknown file header '%s' reading file %s", printableLabel(r.label()),
                                                file.fileName()));
    });
    const Game game = gameOfVersion(replayVersion(root.version()));
    if (game != Game::GPL)
        throw std::runtime_error(formatText("Unsupported rpy version (%d - %s)", root.version(), toString(game)));
    return root;
}

} // namespace

struct ReplayFile::Contents {
    std::unique_ptr<platform::FileMapping> mapping;
    std::vector<std::uint8_t> records;
    std::uint64_t length = 0;
};

ReplayFile::ReplayFile(const std::string& path) : ReplayFile(path, openReplay(path)) {}

ReplayFile::ReplayFile(const std::string& path, const platform::ReadOnlyFile& opened)
    : ReplayFile(path, [&opened] {
          Contents contents;
          contents.length = opened.size();
          if (std::optional<std::vector<std::uint8_t>> records = readRecords(opened))
              contents.records = std::move(*records);
          else
              contents.mapping = std::make_unique<platform::FileMapping>(opened);
          return contents;
      }()) {}

ReplayFile::ReplayFile(const std::string& path, Contents contents)
    : mapping_(std::move(contents.mapping)), records_(std::move(contents.records)),
      file_(mapping_ ? ChunkFile(path, {mapping_->data(), static_cast<std::size_t>(mapping_->size())})
                     : ChunkFile(path, records_, contents.length)),
      root_(replayRoot(file_)) {}

ReplayFile::~ReplayFile() = default;

ReplayFile::ReplayFile(std::string fileName, ChunkFile::Bytes bytes)
    : file_(std::move(fileName), bytes), root_(replayRoot(file_)) {}
