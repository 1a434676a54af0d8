// Cell texts that every report format shares: times, lap remarks and the
// entry list's order (driver names: displayName in weekend/weekend.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "weekend/weekend.h"

// The shortest of "h:mm:ss.fff", "m:ss.fff", "s.fff"; noTime gives "-.---".
std::string formatLapTime(std::uint32_t ms);
// Writes the same text at out, which has room for lapTimeTextMax characters;
// returns its end.
inline constexpr std::size_t lapTimeTextMax = 16; // "1193:02:47.295"
char* writeLapTime(char* out, std::uint32_t ms);
// Signed gaps and differences print as their unsigned bit pattern.
inline std::string formatLapTime(std::int32_t ms) { return formatLapTime(static_cast<std::uint32_t>(ms)); }

// Appends the decimal digits of value.
void appendInteger(std::string& out, std::int64_t value);
// Remark of a flag byte: "Off Track", "Invalid", "Unknown" for the set bits,
// in that order, joined by one space; empty when none is set.
std::string_view lapRemarkText(std::uint8_t flags);
inline std::string lapRemark(std::uint8_t flags) { return std::string(lapRemarkText(flags)); }

// The remark of a race result: "DNF" for a retired car.
inline const char* raceRemark(const RaceResult& r) { return r.retired ? "DNF" : ""; }

// "practice", "race", "testing": the report's name of the type in lower case.
std::string sessionTypeName(SessionType type);

// Entries sorted by car number; equal numbers keep their list order.
std::vector<const Entry*> sortedByNumber(const Entries& entries);
