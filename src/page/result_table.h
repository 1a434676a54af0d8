// A race's result table, as the results page and the league site's round
// pages both show it: position, number, driver and the gap (or what
// stopped the car) always in sight; team, laps, best lap, start and places
// gained fold away on a phone; the site adds points and penalties.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ResultRow {
    std::string position; // "1", "NC", "DSQ"
    std::int64_t number = 0;
    std::string driver; // names from outside: isolated on the page
    std::string team;
    std::uint32_t laps = 0;
    std::string gap;             // see resultGap; "DSQ" too
    std::uint32_t bestLapMs = 0; // 0 when none
    bool fastestLap = false;     // the race's fastest
    std::uint32_t start = 0;     // place at the first crossing; 0 when none
    std::string gained;          // see gainedText; empty when it means nothing
    // The official result's columns.
    std::int64_t points = 0;
    bool bonus = false;  // took the fastest-lap bonus
    std::string penalty; // the stewards' badge; empty for none
};

// The gap column: the leader's time, the gap on the lead lap, laps behind
// or DNF, so that no car shows less than a car ahead of it.
std::string resultGap(bool leader, bool retired, std::uint32_t lapsBehind, std::uint64_t timeMs,
                      std::uint64_t gapMs);

// Places won or lost: "+2", "-1", "0".
std::string gainedText(std::int64_t gained);

// The table in its scrolling box; official adds the points and penalty
// columns.
void appendResultTable(std::string& out, const std::vector<ResultRow>& rows, bool official);
