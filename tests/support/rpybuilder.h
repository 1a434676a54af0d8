// Builds replay files for tests from readable descriptions.
//
//   ReplaySpec r;
//   r.header.track = "Monza";
//   r.weekend.sessions = {{SessionType::PRACTICE, 32767, 3600.0}, {SessionType::RACE, 30, 604800.0}};
//   r.drivers.push_back(DriverSpec{.firstName = "Jim", .lastName = "Clark", .carId = 1, .number = 5});
//   r.sessions.push_back(SessionSpec{{CarSpec{1, {lapWord(10000), lapWord(95000)}}}});
//   std::string bytes = buildReplay(r);
//
// The defaults make a valid replay. Every chunk takes ChunkOpts to write
// faults (labels, versions, sizes); text fields are raw bytes (Windows-1252,
// "\xE9" is e-acute), cut to their field width.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "replay/replay_records.h"
#include "weekend/weekend.h"

namespace testutil {
class TempDir;
}

namespace rpybuilder {

// ---- Bytes -----------------------------------------------------------------

std::string u8(std::uint8_t v);
std::string u16le(std::uint16_t v);
std::string u32le(std::uint32_t v);
std::string i32le(std::int32_t v);
std::uint32_t floatBits(float f);

// Built bytes as the readers take them; a view, so s must outlive it.
inline std::span<const std::uint8_t> byteSpan(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A lap record word: clock in the low 24 bits, flags in the high byte.
std::uint32_t lapWord(std::uint32_t clock, std::uint8_t flags = 0);
inline constexpr std::uint8_t offTrack = 0x40;
inline constexpr std::uint8_t invalid = 0x10;

// A 32-byte coded tag of the GEM+ carset tool: '1', the model year minus
// 1885, 0, then the tool version parts v1 and v2 (remark "GEM+ 2.v1.v2").
std::string tagBytes(std::uint8_t yearByte, std::uint8_t v1, std::uint8_t v2);

// ---- Chunks ----------------------------------------------------------------

// One serialised chunk: label (4 bytes), version, size field (data.size()
// unless given), the data and zero padding up to a multiple of 4.
std::string chunk(std::string_view label, std::uint32_t version, std::string_view data,
                  std::optional<std::uint32_t> sizeField = std::nullopt, std::uint8_t padByte = 0);

// Deliberate faults of one chunk; unset fields keep the normal value.
struct ChunkOpts {
    std::optional<std::string> label{};        // any 4 bytes
    std::optional<std::uint32_t> version{};  // the version field
    std::optional<std::uint32_t> dataBytes{};  // cut or zero-extend the data to this length
    std::optional<std::uint32_t> sizeField{};  // write this size whatever the data holds
    std::uint8_t padByte = 0;                // value of the padding bytes
};

// A chunk with the given normal label, version and data, then opts applied.
std::string chunkWith(std::string_view label, std::uint32_t version, std::string data, const ChunkOpts& opts);

// ---- Records ---------------------------------------------------------------

struct HeaderSpec {
    std::string track = "Monza";          // 28 bytes
    std::uint32_t word28 = 0;
    std::string saverName = "TestSaver";  // 16 bytes
    std::string saverVersion = "1.0";     // 20 bytes
    std::uint32_t firstSession = 0;
    // Unset: firstSession + number of sessions - 1, which keeps the replay
    // consistent (0xFFFFFFFF for no sessions from 0).
    std::optional<std::uint32_t> lastSession{};
    ChunkOpts chunk{};
};

// One entry of the weekend's session table.
struct WeekendSession {
    std::int16_t type = 0;
    std::int16_t laps = 0;
    std::uint32_t secondsBits = 0;

    WeekendSession() = default;
    WeekendSession(SessionType t, int lapLimit, double seconds);
    // A raw type code (0 = none, or an unknown code).
    WeekendSession(int rawType, int lapLimit, double seconds);
    // Raw bits of the seconds field.
    static WeekendSession withBits(int rawType, int lapLimit, std::uint32_t bits);
};

struct WeekendSpec {
    std::string track = "Monza";         // 16 bytes
    std::string carset = "Test Carset";  // 97 bytes
    // Up to 8 entries; the remaining ones are written as zeros (type 0). A
    // one-week (604800.0) limit ends the list as the game reads it.
    std::vector<WeekendSession> sessions = {{SessionType::PRACTICE, 32767, 3600.0},
                                            {SessionType::RACE, 30, 604800.0}};
    // Unset: the number of entries the game reads (up to the first one-week
    // entry, or all).
    std::optional<std::uint32_t> sessionCount{};
    std::array<std::uint8_t, 3> tail{};  // offsets 181 to 183
    ChunkOpts chunk{};
};

// Every field of the 140-byte driver record, in record order.
struct DriverSpec {
    std::string firstName = "Test";    // 16 bytes
    std::string lastName = "Driver";   // 16 bytes
    std::int32_t word32 = 0;
    std::uint32_t nationality = 12;    // GBR
    std::string tag{};                 // 32 bytes; see tagBytes
    std::string bytes72{};             // 32 bytes, not interpreted
    std::int32_t driverId = 0;
    std::uint32_t carIndex = 0;
    std::uint32_t carClass = 0;
    std::array<std::uint8_t, 3> colour{};
    std::uint8_t byte119 = 0;
    std::int32_t word120 = 0;
    std::int32_t carId = 0;
    std::int32_t number = 0;
    std::int32_t word132 = 0;
    std::int8_t tagIsText = 0;
    std::int8_t byte137 = 0;
    std::int8_t byte138 = 0;
    std::uint8_t byte139 = 0;
    ChunkOpts chunk{};
};

// One car of a session: its id and raw lap words.
struct CarSpec {
    std::int32_t carId = 0;
    std::vector<std::uint32_t> laps{};
    ChunkOpts chunk{};
};

// One recorded session: a "BTPL" list of "ORPL" cars.
struct SessionSpec {
    std::vector<CarSpec> cars{};
    ChunkOpts chunk{};
};

struct ReplaySpec {
    ChunkOpts root{};              // version defaults to 2 (GPL)
    HeaderSpec header{};
    WeekendSpec weekend{};
    std::vector<DriverSpec> drivers{};
    ChunkOpts driverList{};        // the "SLRD" chunk
    std::vector<SessionSpec> sessions{};
    std::string trailing{};        // raw bytes in the root after the sessions
    // Data size of a last, zero-filled "XTRA" chunk after trailing; written
    // sparse by writeReplay, so it can stand for megabytes of replay data.
    std::uint32_t fillerBytes = 0;
    // Cut or zero-extend the finished file (the root size stays).
    std::optional<std::uint64_t> fileLength{};
};

// A race replay (carset "gem67") of cars with ids and driver ids 1..cars and
// numbers id % 1000, each crossing the line `crossings` times, 0.9 s apart.
ReplaySpec raceReplay(int cars, int crossings);

std::string headerRecord(const ReplaySpec& spec);  // 76 bytes
std::string weekendRecord(const WeekendSpec& w);   // 184 bytes
std::string driverRecord(const DriverSpec& d);     // 140 bytes
std::string carData(const CarSpec& c);             // car id and lap words

std::string driversChunk(const ReplaySpec& spec);
std::string sessionChunk(const SessionSpec& s);
// The root's data: header, weekend, drivers, sessions, trailing, filler.
std::string rootData(const ReplaySpec& spec);

// The whole file in memory.
std::string buildReplay(const ReplaySpec& spec);

// Writes the file; the filler chunk's data becomes a hole, so it costs
// neither time nor disk. Returns the path.
std::string writeReplay(const std::string& path, const ReplaySpec& spec);
std::string writeReplay(const testutil::TempDir& dir, const std::string& name, const ReplaySpec& spec);

} // namespace rpybuilder
