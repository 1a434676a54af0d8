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

ChunkFile openChunks(const std::string& fileName) {
    try {
        return ChunkFile(fileName);
    } catch (const platform::FileError& e) {
        throw ReplayAccessError(e.what());
    }
}

} // namespace

ReplayFile::ReplayFile(const std::string& fileName)
    : file_(openChunks(fileName)), root_(file_.checkedRoot([this](const Chunk& root) {
          if (root.label() != "YLPR")
              throw std::runtime_error(formatText("Unknown file header '%s' reading file %s",
                                                  printableLabel(root.label()), file_.fileName()));
      })) {
    const Game game = gameOfVersion(version());
    if (game != Game::GPL)
        throw std::runtime_error(formatText("Unsupported rpy version (%d - %s)", root_.version(), toString(game)));
}
