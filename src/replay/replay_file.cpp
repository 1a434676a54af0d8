#include "replay/replay_file.h"

#include <stdexcept>

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

std::unique_ptr<platform::FileMapping> mapReplay(const std::string& path) {
    try {
        if (platform::examineIsDirectory(path)) throw std::runtime_error(path + " is not a file");
    } catch (const platform::FileError& e) {
        throw ReplayAccessError(e.what());
    }
    try {
        return std::make_unique<platform::FileMapping>(path);
    } catch (const platform::FileError& e) {
        // A path that could be examined but not opened is an ordinary failure.
        throw std::runtime_error(e.what());
    }
}

} // namespace

ReplayFile::ReplayFile(const std::string& path) : ReplayFile(mapReplay(path), path) {}

ReplayFile::ReplayFile(std::unique_ptr<platform::FileMapping> mapping, const std::string& path)
    : ReplayFile(path, {mapping->data(), static_cast<std::size_t>(mapping->size())}) {
    mapping_ = std::move(mapping);
}

ReplayFile::~ReplayFile() = default;

ReplayFile::ReplayFile(std::string fileName, ChunkFile::Bytes bytes)
    : file_(std::move(fileName), bytes), root_(file_.checkedRoot([this](const Chunk& root) {
          if (root.label() != "YLPR")
              throw std::runtime_error(formatText("Unknown file header '%s' reading file %s",
                                                  printableLabel(root.label()), file_.fileName()));
      })) {
    const Game game = gameOfVersion(version());
    if (game != Game::GPL)
        throw std::runtime_error(formatText("Unsupported rpy version (%d - %s)", root_.version(), toString(game)));
}
