// The story of a race as the results page tells it: each car's place and
// gap to the leader at every crossing of the line, and the lap chart and
// gap chart made of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "page/line_chart.h"
#include "weekend/weekend.h"

// One car's race, crossing by crossing (0 is its first crossing, which
// starts lap 1).
struct RaceTrace {
    std::int32_t carId = 0;
    std::int16_t number = 0;
    bool retired = false;
    // Place at each crossing, from 1: the order in which the cars completed
    // it (its cell's place in the row).
    std::vector<std::uint32_t> positions;
    // Milliseconds behind the first car to complete the same crossing.
    std::vector<std::uint32_t> gaps;
    // Crossings made before the leader lapped the car, that is before the
    // leader completed crossing i + 1 ahead of the car's crossing i; all of
    // them when that never happened.
    std::size_t unlapped = 0;
};

// One trace per classified car, in the classification's order. Cars that
// never crossed the line have no row and no trace.
std::vector<RaceTrace> raceTraces(const SessionTiming& timing, const std::vector<RaceResult>& classification);

// Position (1 at the top) against lap, one line per car, labelled with the
// car number at both ends. sessionNumber makes the chart's id unique.
LineChart lapChart(const std::vector<RaceTrace>& traces, std::size_t sessionNumber);

// Seconds behind the leader (0 at the top) against lap, one line per car; a
// lapped car's line ends at its last crossing before it was lapped.
LineChart gapChart(const std::vector<RaceTrace>& traces, std::size_t sessionNumber);
