#include "rpylib.h"

#include <bit>
#include <climits>
#include <stdexcept>

#include "mklib.h"
#include "undead/doformat.h"

static_assert(std::bit_cast<float>(WeekendInfo::oneWeekBits) == 604800.0f);

namespace {
const ChunkLbl lblHeader("DHPR");
const ChunkLbl lblWeekend("FNKW");
const ChunkLbl lblDrivers("SLRD");
const ChunkLbl lblDriver("TNRD");
const ChunkLbl lblSession("BTPL");
const ChunkLbl lblCar("ORPL");
} // namespace

// ---- Laps ------------------------------------------------------------------

std::string CarLaps::toString() const {
    std::string out = doformat("Laps for car id %d\n", carId);
    for (std::size_t i = 0; i < laps.size(); ++i)
        out += doformat("lap %3d: %d [%d]\n", i, laps[i].clock(), laps[i].flags());
    return out;
}

// ---- Replay file -----------------------------------------------------------

std::uint32_t rpyVersionOf(ChunkLblView header) {
    if (header.label() == "YLPR" && (header.version() & 0xFF) == 2) return 2;
    return header.version();
}

Game gameOfVersion(std::uint32_t version) {
    if (version <= 2) return Game::GPL;
    if (version == 3) return Game::N4;
    if (version == 5) return Game::N2K3;
    if (version >= 9 && version <= 15) return Game::IRAC;
    return Game::UNK;
}

RpyFile::RpyFile(const std::string& fileName) : ChunkFile(fileName) {
    setVersionHook(rpyVersionOf);
    takeRoot();
}

void RpyFile::takeRoot() { root = fileHeader() ? chunkAt(0) : Chunk{}; }

Chunk RpyFile::open(const std::string& fileName) {
    mapFile(fileName);
    // Never leave root pointing into the mapping just replaced.
    takeRoot();
    return checkHeader();
}

Chunk RpyFile::checkHeader() {
    root = ChunkFile::checkHeader();
    const Game g = game();
    if (g != Game::GPL)
        throw std::runtime_error(doformat("Unsupported rpy version (%d - %s)", fileVersion(), toString(g)));
    return root;
}

void RpyFile::close() {
    root = Chunk{};
    ChunkFile::close();
}

Game RpyFile::game() const {
    if (!root.valid) return Game::UNK;
    return gameOfVersion(versionOf(root.lblView()));
}

// ---- Weekend ---------------------------------------------------------------

std::int32_t secondsFromFloat(std::uint32_t bits) {
    if (static_cast<std::int32_t>(bits) <= 0) return 0;
    const float value = std::bit_cast<float>(bits);
    // Also catches infinity and NaN, whose conversion would be undefined.
    if (!(value < 2147483648.0f)) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

SessionEntry WeekendInfo::entry(std::size_t k) const {
    if (k >= entryCount) throw std::out_of_range("weekend session entry index");
    const std::uint8_t* e = p_ + 117 + 8 * k;
    return SessionEntry{readI16LE(e), readI16LE(e + 2), readU32LE(e + 4)};
}

std::vector<SessInfo> WeekendInfo::sessions() const {
    std::vector<SessInfo> result;
    for (std::size_t k = 0; k < entryCount; ++k) {
        const SessionEntry e = entry(k);
        const SessInfo info{static_cast<SessT>(e.type), e.laps, secondsFromFloat(e.secondsBits)};
        if (e.type == 0) {
            warning("rpylib", 109, "No session data found");
            return {};
        }
        if (info.type != SessT::TESTING && info.type != SessT::PRACTICE && info.type != SessT::RACE)
            throw std::runtime_error("Unknown session type: " + toString(info.type));
        result.push_back(info);
        if (std::bit_cast<float>(e.secondsBits) == 604800.0f) break;
    }
    if (sessionCount() != result.size()) throw std::runtime_error("Inconsistent session info");
    return result;
}

// ---- Drivers ---------------------------------------------------------------

std::string_view nationalityCode(std::uint32_t index) {
    if (index >= nationalityCodes.size() / 3) return {};
    return nationalityCodes.substr(3 * std::size_t(index), 3);
}

std::string DriverInfo::toString() const {
    std::string out;
    out += doformat("%-8.8s|", fromMultiByte(firstName(), 0));
    out += doformat("%-10.10s|", fromMultiByte(lastName(), 0));
    out += doformat("%d!", word32());
    out += doformat("%3.3s|", nationalityCode(nationality()));
    std::string tagText;
    if (tagIsText() != 0 || tag().starts_with("NOT")) {
        tagText = fromMultiByte(fixedText(p_ + 40, tagSize), 0);
    } else {
        for (std::size_t i = 0; i < tagSize; ++i) {
            if (i) tagText += ", ";
            tagText += std::to_string(tagByte(i));
        }
    }
    out += doformat("%-45.45s|", tagText);
    out += doformat("%2d|", driverId());
    out += doformat("%2d|", carIndex());
    out += doformat("%2d|", carClass());
    out += doformat("%02X%02X%02X|", colour(0), colour(1), colour(2));
    out += doformat("%2d!", byte119());
    out += doformat("%2d!", word120());
    out += doformat("%2d|", carId());
    out += doformat("%2d|", number());
    out += doformat("%2d!", word132());
    out += doformat("%d|", tagIsText());
    out += doformat("%d!", byte137());
    out += doformat("%d\n", byte138());
    return out;
}

// ---- Reader ----------------------------------------------------------------

RpyGPL::RpyGPL(RpyFile& file) : rpy(file) { read(file); }

RpyGPL::~RpyGPL() = default;

void RpyGPL::read(RpyFile& file) {
    const Chunk root = file.root;
    std::uint64_t offset = 0;
    offset += chunkData(root, lblHeader, header, offset);
    offset += chunkData(root, lblWeekend, weekend, offset);
    offset += readDrivers(root, offset);
    readSessions(root, offset);
}

std::uint64_t RpyGPL::readDrivers(const Chunk& root, std::uint64_t offset) {
    std::vector<Chunk> items;
    // The whole list is walked and checked before any item's size.
    const std::uint64_t total = subChunkList(root, lblDrivers, lblDriver, items, offset);
    drivers.reserve(items.size());
    for (const Chunk& item : items) {
        // Larger items are accepted; the record is their first 140 bytes.
        if (item.dataSize() < DriverInfo::size) throwRecordSize(item, DriverInfo::size);
        drivers.emplace_back(rpy.slice(item.dataOffset(), item.dataOffset() + DriverInfo::size).data());
    }
    return total;
}

void RpyGPL::readSessions(const Chunk& root, std::uint64_t offset) {
    std::uint32_t counter = header.firstSession();
    std::vector<Chunk> items;
    // The session chunks are followed by other data (often megabytes), which
    // is never looked at: the loop stops at the first other label.
    while (root.dataSize() - offset >= Chunk::headerSize &&
           rpy.labelAt(root.dataOffset() + offset).label() == lblSession.text()) {
        RpySession session;
        session.index = counter++;
        items.clear();
        offset += subChunkList(root, lblSession, lblCar, items, offset);
        session.cars.reserve(items.size());
        for (const Chunk& item : items) {
            if (item.dataSize() < 4)
                throw std::runtime_error("Chunk " + printableLabel(item.label()) + " holds no car id");
            const ChunkFile::Bytes data = rpy.slice(item.dataOffset(), item.endOffset());
            CarLaps car;
            car.carId = readI32LE(data.data());
            // An odd size's padding becomes part of the last record.
            car.laps = LapTimes(data.data() + 4, (data.size() - 4) / 4);
            session.cars.push_back(car);
        }
        sessions.push_back(std::move(session));
    }
    if (header.lastSession() + 1u != counter) warning("rpylib", 601, "Inconsistent session data.");
}
