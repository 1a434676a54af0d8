// Grand Prix Legends replay files: the replay file class, game detection and
// views of the replay's records.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

private:
    const std::uint8_t* bytes_ = nullptr;
    std::size_t count_ = 0;
};

struct CarLaps {
    std::int32_t carId = 0;
    LapTimes laps;
    std::string toString() const;
};

struct RpySession {
    std::uint32_t index = 0;
    std::vector<CarLaps> cars;
};
