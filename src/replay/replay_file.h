// A replay file: the chunk file whose root chunk is "YLPR", and the game
// that saved it.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "container/chunk_file.h"

namespace platform {
class FileMapping;
class ReadOnlyFile;
} // namespace platform

// The game that saved a replay.
enum class Game : std::uint8_t { UNK = 0, GPL = 1, N4 = 2, N2K2 = 3, N2K3 = 4, IRAC = 5 };

// "GPL", or "cast(Game)" and the value for one outside the list.
std::string toString(Game g);

// The root version as a replay reads it: a version whose low byte is 2 is
// version 2 whatever its upper bytes hold.
std::uint32_t replayVersion(std::uint32_t rawVersion);

// The game of a replay version.
Game gameOfVersion(std::uint32_t version);

// A replay path that cannot even be examined (permissions of a folder on
// the way, say); the message is the system's.
class ReplayAccessError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ReplayFile {
public:
    // Checks the header of a replay's bytes: container, magic, length, and
    // the game (only Grand Prix Legends replays are accepted). The bytes
    // must outlive the object; fileName names them in messages. Throws
    // std::runtime_error with the message.
    ReplayFile(std::string fileName, ChunkFile::Bytes bytes);
    // The same for the file at a path. Only the record chunks are read,
    // into memory owned by the object; a file laid out otherwise, or whose
    // records are too large to copy, is mapped whole, so that its faults
    // read as ever. Throws ReplayAccessError when the path cannot be
    // examined at all.
    explicit ReplayFile(const std::string& path);
    // The same for a file opened already; path names it in messages.
    ReplayFile(const std::string& path, const platform::ReadOnlyFile& opened);
    ~ReplayFile();

    const ChunkFile& chunks() const { return file_; }
    const std::string& fileName() const { return file_.fileName(); }
    const Chunk& root() const { return root_; }
    std::uint32_t version() const { return replayVersion(root_.version()); }

private:
    struct Contents; // what a path's file was read into
    ReplayFile(const std::string& path, Contents contents);

    std::unique_ptr<platform::FileMapping> mapping_; // a file mapped whole
    std::vector<std::uint8_t> records_;              // or its record chunks read
    ChunkFile file_;
    Chunk root_;
};
