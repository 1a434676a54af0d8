// Session timings written out car by car, as tests spell them.
#pragma once

#include <cstdint>
#include <vector>

#include "weekend/timing.h"

// One car's crossings as timingOf takes them.
struct TimedCar {
    std::int32_t carId = 0;
    std::int32_t driverId = 0;
    std::vector<TimedLap> laps;
    std::int16_t number = 0; // in the entry list; breaks ties
    bool operator==(const TimedCar&) const = default;
};

// Places each car's crossings in the per-lap table, as a replay's are.
SessionTiming timingOf(const std::vector<TimedCar>& cars);
