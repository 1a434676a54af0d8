// What a report says about the carset that named the cars.
#pragma once

#include <cstdint>
#include <string>

// The "Carset" section's facts; empty fields for missing keys.
struct CarsetInfo {
    std::string name;
    std::string cardir;
    std::string physics;
    std::string shortid;
    std::int16_t year = 0;
};
