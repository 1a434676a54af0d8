// Views of the records of a Grand Prix Legends replay, read in place through
// bounds-checked accessors at named field offsets. Text fields are bytes in
// the system's ANSI code page, up to the first NUL or the end of the field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "container/byte_reader.h"

class Diagnostics;

// The session type codes a replay may store.
struct SessionCode {
    static constexpr std::int16_t testing = 2, practice = 6, race = 7;
};

// The "DHPR" record.
class HeaderRecord {
public:
    static constexpr std::size_t size = 76;
    struct Field {
        static constexpr std::size_t track = 0, trackWidth = 28;
        static constexpr std::size_t word28 = 28;
        static constexpr std::size_t saverName = 32, saverNameWidth = 16;
        static constexpr std::size_t saverVersion = 48, saverVersionWidth = 20;
        static constexpr std::size_t firstSession = 68;
        static constexpr std::size_t lastSession = 72;
    };

    HeaderRecord() = default;
    explicit HeaderRecord(ByteReader r) : r_(r) {}

    std::string_view track() const { return r_.text(Field::track, Field::trackWidth); }
    std::uint32_t word28() const { return r_.u32(Field::word28); }
    std::string_view saverName() const { return r_.text(Field::saverName, Field::saverNameWidth); }
    std::string_view saverVersion() const { return r_.text(Field::saverVersion, Field::saverVersionWidth); }
    std::uint32_t firstSession() const { return r_.u32(Field::firstSession); }
    std::uint32_t lastSession() const { return r_.u32(Field::lastSession); }

private:
    ByteReader r_;
};

// One weekend session as the replay describes it.
struct SessionInfo {
    std::int16_t type = SessionCode::testing;
    std::int16_t laps = 0;
    std::int32_t seconds = 0;
    bool operator==(const SessionInfo&) const = default;
};

// Whole seconds of a single-precision float given by its bits: 0 for zero
// and negative values, truncated toward zero otherwise; values from 2^31 on,
// infinity and not-a-number give INT32_MAX.
std::int32_t secondsFromFloat(std::uint32_t bits);

// The "FNKW" record. Its integers sit at odd offsets.
class WeekendRecord {
public:
    static constexpr std::size_t size = 184;
    static constexpr std::size_t entryCount = 8;
    struct Field {
        static constexpr std::size_t track = 0, trackWidth = 16;
        static constexpr std::size_t carset = 16, carsetWidth = 97;
        static constexpr std::size_t sessionCount = 113;
        // entryCount session entries of entrySize bytes: type, laps, seconds.
        static constexpr std::size_t entries = 117, entrySize = 8;
        static constexpr std::size_t entryType = 0, entryLaps = 2, entrySeconds = 4;
    };
    // A time limit of one week marks the weekend's last session.
    static constexpr std::uint32_t oneWeekBits = 0x4913A800u; // 604800.0f

    WeekendRecord() = default;
    explicit WeekendRecord(ByteReader r) : r_(r) {}

    std::string_view track() const { return r_.text(Field::track, Field::trackWidth); }
    std::string_view carset() const { return r_.text(Field::carset, Field::carsetWidth); }
    std::uint32_t sessionCount() const { return r_.u32(Field::sessionCount); }

    // The checked session list. Warns "No session data found" and returns an
    // empty list at a type-0 entry; throws for unknown types and for a
    // sessionCount that disagrees.
    std::vector<SessionInfo> sessions(Diagnostics& diagnostics) const;

private:
    ByteReader r_;
};

// The code of a nationality index ("ARG", ...); empty from 29 on.
std::string_view nationalityCode(std::uint32_t index);

// A "TNRD" record: one driver and the car.
class DriverRecord {
public:
    static constexpr std::size_t size = 140;
    struct Field {
        static constexpr std::size_t firstName = 0, nameWidth = 16;
        static constexpr std::size_t lastName = 16;
        static constexpr std::size_t nationality = 36;
        static constexpr std::size_t tag = 40, tagWidth = 32;
        static constexpr std::size_t driverId = 104;
        static constexpr std::size_t carIndex = 108;
        static constexpr std::size_t carClass = 112;
        static constexpr std::size_t carId = 124;
        static constexpr std::size_t number = 128;
        static constexpr std::size_t tagIsText = 136;
        static constexpr std::size_t flag138 = 138;
    };

    DriverRecord() = default;
    explicit DriverRecord(ByteReader r) : r_(r) {}

    std::string_view firstName() const { return r_.text(Field::firstName, Field::nameWidth); }
    std::string_view lastName() const { return r_.text(Field::lastName, Field::nameWidth); }
    std::uint32_t nationality() const { return r_.u32(Field::nationality); }
    std::uint8_t tagByte(std::size_t i) const { return r_.u8(Field::tag + i); }
    std::int32_t driverId() const { return r_.i32(Field::driverId); }
    std::uint32_t carIndex() const { return r_.u32(Field::carIndex); }
    std::uint32_t carClass() const { return r_.u32(Field::carClass); }
    std::int32_t carId() const { return r_.i32(Field::carId); }
    std::int32_t number() const { return r_.i32(Field::number); }
    std::int8_t tagIsText() const { return r_.i8(Field::tagIsText); }
    std::int8_t flag138() const { return r_.i8(Field::flag138); }

private:
    ByteReader r_;
};

// One line crossing: session clock (low 24 bits) and flags (high byte).
struct LapRecord {
    static constexpr std::size_t size = 4;
    std::uint32_t word = 0;
    std::uint32_t clock() const { return word & 0x00FFFFFFu; }
    std::uint8_t flags() const { return static_cast<std::uint8_t>(word >> 24); }
};

// An "ORPL" record: a car id and the car's line crossings.
class CarLapsRecord {
public:
    struct Field {
        static constexpr std::size_t carId = 0;
        static constexpr std::size_t laps = 4;
    };

    CarLapsRecord() = default;
    // The record must hold at least the car id.
    explicit CarLapsRecord(ByteReader r) : r_(r) {}

    std::int32_t carId() const { return r_.i32(Field::carId); }
    // An odd size's padding becomes part of the last record.
    std::size_t lapCount() const { return (r_.size() - Field::laps) / LapRecord::size; }
    LapRecord lap(std::size_t i) const { return LapRecord{r_.u32(Field::laps + LapRecord::size * i)}; }

private:
    ByteReader r_;
};
