// Grand Prix Legends replay files: the replay file class, game detection and
// views of the replay's records.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "chunkfile.h"
#include "enums.h"

// One line crossing: session clock (low 24 bits) and flags (high byte).
struct LapTime {
    std::uint32_t word = 0;
    std::uint32_t clock() const { return word & 0x00FFFFFFu; }
    std::uint8_t flags() const { return static_cast<std::uint8_t>(word >> 24); }
};

// View of the lap records of one car, in place in the mapped file.
class LapTimes {
public:
    LapTimes() = default;
    LapTimes(const std::uint8_t* bytes, std::size_t count) : bytes_(bytes), count_(count) {}
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    LapTime operator[](std::size_t i) const {
        const std::uint8_t* p = bytes_ + 4 * i;
        return LapTime{std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                       std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24};
    }
    const std::uint8_t* bytes() const { return bytes_; }

private:
    const std::uint8_t* bytes_ = nullptr;
    std::size_t count_ = 0;
};

struct CarLaps {
    std::int32_t carId = 0;
    LapTimes laps;
    // "Laps for car id <id>" and one "lap <i>: <clock> [<flags>]" line per record.
    std::string toString() const;
};

struct RpySession {
    std::uint32_t index = 0;
    std::vector<CarLaps> cars;
};

// ---- Replay file -----------------------------------------------------------

// The root version as a replay reads it: a "YLPR" version whose low byte is
// 2 is version 2 whatever its upper bytes hold.
std::uint32_t rpyVersionOf(ChunkLblView header);

// The game of a root version.
Game gameOfVersion(std::uint32_t version);

class RpyFile : public ChunkFile {
public:
    // Does not check the header; call checkHeader next. Errors as ChunkFile's.
    explicit RpyFile(const std::string& fileName);

    Chunk open(const std::string& fileName) override;
    // The container checks, then the game: only GPL replays are accepted.
    Chunk checkHeader() override;
    void close() override;
    // UNK while the file has no header.
    virtual Game game() const;

    // The root chunk; a default Chunk while the file is too short for one.
    Chunk root;

private:
    void takeRoot();
};

// ---- Records (views into the mapping) --------------------------------------
// Text fields are bytes in the system's ANSI code page, up to the first NUL
// or the end of the field; convert them with fromMultiByte(text, 0).

// The "DHPR" record.
class RpyHeader {
public:
    static constexpr std::size_t size = 76;

    RpyHeader() = default;
    explicit RpyHeader(const std::uint8_t* p) : p_(p) {}
    bool isNull() const { return p_ == nullptr; }
    const std::uint8_t* bytes() const { return p_; }

    std::string_view track() const { return fixedText(p_, 28); }
    std::uint32_t word28() const { return readU32LE(p_ + 28); }
    std::string_view saverName() const { return fixedText(p_ + 32, 16); }
    std::string_view saverVersion() const { return fixedText(p_ + 48, 20); }
    std::uint32_t firstSession() const { return readU32LE(p_ + 68); }
    std::uint32_t lastSession() const { return readU32LE(p_ + 72); }

private:
    const std::uint8_t* p_ = nullptr;
};

// One weekend session as the replay describes it.
struct SessInfo {
    SessT type = SessT::TESTING;
    std::int16_t laps = 0;
    std::int32_t seconds = 0;
    bool operator==(const SessInfo&) const = default;
};

// Whole seconds of a single-precision float given by its bits: 0 for zero
// and negative values, truncated toward zero otherwise; values from 2^31 on,
// infinity and not-a-number give INT32_MAX.
std::int32_t secondsFromFloat(std::uint32_t bits);

// One raw entry of the weekend's session table.
struct SessionEntry {
    std::int16_t type = 0;
    std::int16_t laps = 0;
    std::uint32_t secondsBits = 0;
};

// The "FNKW" record. Its integers sit at odd offsets and are read in place.
class WeekendInfo {
public:
    static constexpr std::size_t size = 184;
    static constexpr std::size_t entryCount = 8;
    // A time limit of one week marks the weekend's last session.
    static constexpr std::uint32_t oneWeekBits = 0x4913A800u; // 604800.0f

    WeekendInfo() = default;
    explicit WeekendInfo(const std::uint8_t* p) : p_(p) {}
    bool isNull() const { return p_ == nullptr; }
    const std::uint8_t* bytes() const { return p_; }

    std::string_view track() const { return fixedText(p_, 16); }
    std::string_view carset() const { return fixedText(p_ + 16, 97); }
    std::uint32_t sessionCount() const { return readU32LE(p_ + 113); }
    // k < entryCount.
    SessionEntry entry(std::size_t k) const;

    // The checked session list. Warns "No session data found" and returns an
    // empty list at a type-0 entry; throws for unknown types and for a
    // sessionCount that disagrees.
    std::vector<SessInfo> sessions() const;

private:
    const std::uint8_t* p_ = nullptr;
};

// The 29 three-letter nationality codes, code i at 3i.
inline constexpr std::string_view nationalityCodes =
    "ARGAUSAUTBELBRACANCHICOLDENFINFRAGERGBRIREITAJPNMEXMONMORHOLNZLPORRSASPASWESUIUSAURUVEN";
// The code of a nationality index; empty from 29 on.
std::string_view nationalityCode(std::uint32_t index);

// A "TNRD" record: one driver and the car.
class DriverInfo {
public:
    static constexpr std::size_t size = 140;
    static constexpr std::size_t tagSize = 32;

    DriverInfo() = default;
    explicit DriverInfo(const std::uint8_t* p) : p_(p) {}
    bool isNull() const { return p_ == nullptr; }
    const std::uint8_t* bytes() const { return p_; }

    std::string_view firstName() const { return fixedText(p_, 16); }
    std::string_view lastName() const { return fixedText(p_ + 16, 16); }
    std::int32_t word32() const { return readI32LE(p_ + 32); }
    std::uint32_t nationality() const { return readU32LE(p_ + 36); }
    // All 32 bytes of the tag, NULs included.
    std::string_view tag() const { return std::string_view(reinterpret_cast<const char*>(p_ + 40), tagSize); }
    std::uint8_t tagByte(std::size_t i) const { return p_[40 + i]; }
    std::int32_t driverId() const { return readI32LE(p_ + 104); }
    std::uint32_t carIndex() const { return readU32LE(p_ + 108); }
    std::uint32_t carClass() const { return readU32LE(p_ + 112); }
    // i < 3, in stored order.
    std::uint8_t colour(std::size_t i) const { return p_[116 + i]; }
    std::uint8_t byte119() const { return p_[119]; }
    std::int32_t word120() const { return readI32LE(p_ + 120); }
    std::int32_t carId() const { return readI32LE(p_ + 124); }
    std::int32_t number() const { return readI32LE(p_ + 128); }
    std::int32_t word132() const { return readI32LE(p_ + 132); }
    std::int8_t tagIsText() const { return readI8(p_ + 136); }
    std::int8_t byte137() const { return readI8(p_ + 137); }
    std::int8_t byte138() const { return readI8(p_ + 138); }

    // One diagnostic line, ending in a newline.
    std::string toString() const;

private:
    const std::uint8_t* p_ = nullptr;
};

// ---- Reader ----------------------------------------------------------------

// Reads a Grand Prix Legends replay into views of its records. The RpyFile
// must have passed checkHeader and must outlive the reader.
class RpyGPL {
public:
    // Reads the whole replay; container errors propagate.
    explicit RpyGPL(RpyFile& file);
    virtual ~RpyGPL();
    RpyGPL(const RpyGPL&) = delete;
    RpyGPL& operator=(const RpyGPL&) = delete;

    RpyFile& rpy;
    RpyHeader header;
    WeekendInfo weekend;
    std::vector<DriverInfo> drivers;
    std::vector<RpySession> sessions;

protected:
    // Runs once, from the constructor.
    virtual void read(RpyFile& file);

private:
    std::uint64_t readDrivers(const Chunk& root, std::uint64_t offset);
    void readSessions(const Chunk& root, std::uint64_t offset);
};
