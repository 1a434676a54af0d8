// GEM+ carset files: loading, the values the report uses, and the built-in
// Grand Prix Legends names for cars without a carset.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "carset/carset_info.h"
#include "ini/ini.h"

// A carset named on the command line that cannot be used.
class CarsetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The year of entries whose carset says nothing else.
inline constexpr std::int16_t defaultCarsetYear = 1967;

class Carset {
public:
    // Reads, converts (code page 0) and parses one carset file. Throws
    // std::runtime_error "path: reason".
    static Carset load(const std::string& path);

    // True when the file has at least one top-level section.
    bool loaded() const { return !ini_.sections.empty(); }
    const std::string& path() const { return path_; }
    // The value of key in section, or null.
    const std::string* find(std::string_view section, const std::string& key) const;
    CarsetInfo info() const;
    // The carset's year, defaultCarsetYear when it has none that reads as
    // a 16-bit number.
    std::int16_t year() const;

private:
    std::string path_;
    IniSection ini_;
};

// Team, chassis and engine of a car model: the carset's "Car<index>" value
// when there is one, else the built-in name, else "unkTeam<index>" and so on.
struct CarModelNames {
    std::string team;
    std::string chassis;
    std::string engine;
};
CarModelNames carModelNames(const Carset& carset, std::uint32_t carIndex);

// Signed 16-bit conversion of a carset value: optional sign, ASCII digits.
std::optional<std::int16_t> toInt16(std::string_view text);
