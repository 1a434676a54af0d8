// The official result of a round: the race's classification after the
// stewards' penalties, with the points each car took.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RoundRace;
struct RoundResult;

// What the stewards gave one car of a round.
struct CarPenalties {
    std::uint64_t addedMs = 0;
    bool disqualified = false;
    std::int64_t points = 0; // taken; a bonus below 0
};

struct OfficialCar {
    std::uint32_t position = 0; // from 1 in the official order; 0 when disqualified
    bool classified = false;    // scores; false when short of laps or disqualified
    bool disqualified = false;
    std::int16_t number = 0;
    std::string driver; // the standings name
    std::string team;
    std::uint32_t laps = 0;
    std::uint64_t timeMs = 0; // with the seconds added
    std::uint64_t gapMs = 0;  // behind the leader, on the lead lap
    std::uint32_t lapsBehind = 0;
    bool retired = false;
    std::uint32_t bestLapMs = 0; // 0 when none
    bool fastestLap = false;     // the race's fastest lap
    std::uint32_t start = 0;     // place at its first crossing; 0 when none
    std::int64_t points = 0;     // with the bonus and the points penalties
    bool bonus = false;          // took the fastest-lap bonus
    std::string penalty;         // "+30 s", "DSQ", "-5 points"; empty for none

    // Places won (above 0) or lost from the start; 0 when not classified.
    std::int64_t gained() const;
};

struct OfficialResult {
    std::uint32_t round = 0;
    std::vector<OfficialCar> cars; // classified, then short of laps, then disqualified
};

// The official result from the race, the order after the penalties
// (indexes of race.cars, disqualified cars left out), each car's scored
// result and its penalties, both by car.
OfficialResult officialResult(const RoundRace& race, const std::vector<std::size_t>& order,
                              const std::vector<RoundResult>& results, const std::vector<CarPenalties>& penalties);

// The stewards' decision as a badge: "+30 s", "+1.5 s", "DSQ", "-5 points",
// "+2 points", joined by ", "; empty for none.
std::string penaltyBadge(const CarPenalties& penalties);
