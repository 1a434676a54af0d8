#include "carset/carset.h"

#include <algorithm>

#include "platform/platform.h"
#include "text/code_page_text.h"

namespace {

// No real carset comes near this; a special file that never ends is refused.
constexpr std::uint64_t maxCarsetBytes = std::uint64_t(64) << 20;

constexpr std::array<const char*, 7> builtInTeams = {
    "Brabham Racing Organisation", "Owen Racing Organisation", "Cooper Car Company",
    "Anglo American Racers",       "Scuderia Ferrari SpA SEFAC", "Team Lotus",
    "Honda Racing",
};

constexpr std::array<const char*, 7> builtInChassis = {
    "Brabham BT24", "BRM P115", "Cooper T81b", "Gurney Eagle",
    "Ferrari 312",  "Lotus 49", "Honda RA300",
};

constexpr std::array<const char*, 7> builtInEngines = {
    "Repco V8",    "BRM H16",     "Maserati V12", "Weslake V12",
    "Ferrari V12", "Ford DFV V8", "Honda V12",
};

std::string modelName(const Carset& carset, std::uint32_t carIndex, const char* key,
                      const std::array<const char*, 7>& builtIn, const char* fallback) {
    if (carset.loaded()) {
        const std::string* value = carset.find("Car" + std::to_string(carIndex), key);
        if (value && !value->empty()) return *value;
    }
    if (carIndex < builtIn.size()) return builtIn[carIndex];
    return fallback + std::to_string(carIndex & 0xFFu);
}

} // namespace

Carset Carset::load(const std::string& path) {
    Carset carset;
    try {
        std::string bytes = platform::readFile(path, maxCarsetBytes);
        // The format ends a carset at its first zero byte.
        bytes.resize(std::min(bytes.size(), bytes.find('\0')));
        carset.ini_ = parseIni(fromMultiByte(bytes, 0));
    } catch (const platform::FileError&) {
        throw; // names the path already
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    carset.path_ = path;
    return carset;
}

const std::string* Carset::find(std::string_view section, const std::string& key) const {
    const IniSection* s = findSection(ini_, section);
    if (!s) return nullptr;
    const auto it = s->keys.find(key);
    return it == s->keys.end() ? nullptr : &it->second;
}

CarsetInfo Carset::info() const {
    CarsetInfo info;
    auto value = [this](const char* key) {
        const std::string* v = find("Carset", key);
        return v ? *v : std::string();
    };
    info.name = value("Name");
    info.cardir = value("CarDir");
    info.physics = value("Physics");
    info.shortid = value("ShortID");
    info.year = toInt16(value("Year")).value_or(0);
    return info;
}

std::int16_t Carset::year() const {
    const std::string* y = loaded() ? find("Carset", "Year") : nullptr;
    return y ? toInt16(*y).value_or(defaultCarsetYear) : defaultCarsetYear;
}

CarModelNames carModelNames(const Carset& carset, std::uint32_t carIndex) {
    return {modelName(carset, carIndex, "Team", builtInTeams, "unkTeam"),
            modelName(carset, carIndex, "Name", builtInChassis, "unkMake"),
            modelName(carset, carIndex, "Engine", builtInEngines, "unkEngine")};
}

std::optional<std::int16_t> toInt16(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int32_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 32768) return std::nullopt; // keeps the sum far from overflow
    }
    const std::int32_t value = negative ? -magnitude : magnitude;
    if (value > 32767) return std::nullopt;
    return static_cast<std::int16_t>(value);
}
