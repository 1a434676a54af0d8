// The championship standings: each round's race scored by the season's
// rules and penalties, the drivers' and the teams' tables in their order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "season/official_result.h"
#include "season/season_file.h"

// One car of a round's race, in the replay's classification order.
struct RaceCar {
    std::string driver;     // the standings name
    std::string replayName; // as the replay writes it
    std::string team;
    std::uint32_t laps = 0;
    std::uint64_t timeMs = 0; // from the start to its last crossing
    std::int16_t number = 0;
    std::uint32_t bestLapMs = 0; // 0 when none
    std::uint32_t start = 0;     // place at its first crossing; 0 when none
    bool retired = false;        // stopped before the winner finished
};

struct RoundRace {
    std::uint32_t number = 0;
    std::string replay; // as the season file writes it
    std::string replayPath;
    std::string track;
    std::vector<RaceCar> cars;
    std::optional<std::size_t> fastestLap; // the car that set the race's fastest lap
};

enum class RoundStatus { CLASSIFIED, NOT_CLASSIFIED, DISQUALIFIED, ABSENT };

// What one round gave one driver.
struct RoundResult {
    std::size_t round = 0; // the index of the round in Standings::rounds
    RoundStatus status = RoundStatus::ABSENT;
    std::uint32_t position = 0; // from 1 when classified, else 0
    std::int64_t points = 0;     // the race's and the adjustment
    std::int64_t adjustment = 0; // points penalties (below 0) and bonuses: never dropped
    bool dropped = false;
    bool fastestLap = false; // took the bonus
};

// Only the rounds a driver or team took part in are held: a season of many
// rounds and many occasional drivers stays small.
struct DriverStanding {
    std::string driver;
    std::int64_t points = 0; // of the rounds that count, and every adjustment
    // The rounds raced, and the absent rounds that Drop marked, in round order.
    std::vector<RoundResult> results;

    // The result of round i (an index of Standings::rounds); ABSENT, not
    // dropped, when none is held.
    RoundResult in(std::size_t i) const;
};

struct TeamStanding {
    std::string team;
    std::int64_t points = 0;
    // (round index, points) of the rounds in which a car of the team raced,
    // in round order.
    std::vector<std::pair<std::size_t, std::int64_t>> rounds;

    // The team's points of round i; none when no car of the team raced.
    std::optional<std::int64_t> in(std::size_t i) const;
};

struct RoundInfo {
    std::uint32_t number = 0;
    std::string replay;     // as the season file writes it; empty for a round to come
    std::string replayPath; // as the program opened it
    std::string track;      // the season file's name for it, else the replay's
    std::string name;       // empty for none
    std::string date;       // yyyy-mm-dd; empty for none
};

struct Standings {
    std::string season;
    SeasonIdentity identity;
    std::vector<RoundInfo> rounds;   // held, each with its race
    std::vector<RoundInfo> upcoming; // the rounds still to come
    std::vector<DriverStanding> drivers; // first place first
    std::vector<TeamStanding> teams;
    std::vector<OfficialResult> official; // one per round
    // How many of the rounds held count for each driver: the season's R
    // rounds less Drop; while no more are held, all of them.
    std::size_t countedRounds = std::numeric_limits<std::size_t>::max();
};

// Scores the races (one per held round of the season, in its order; the
// rounds without a replay are still to come). Each driver's best R-Drop
// rounds count, R counting every round of the season; while fewer are
// held, all of them. A penalty
// for a driver who did not race in its round, or an alias that makes two
// cars of one round one driver, is a SeasonFileError; a replay whose race
// has two cars with one driver's name, a std::runtime_error.
Standings computeStandings(const SeasonFile& season, const std::vector<RoundRace>& races);

// A driver's points after each held round (one per Standings::rounds) as
// the standings stood then: the best countedRounds of the rounds held up to
// it, not the final drops applied backwards.
std::vector<std::int64_t> pointsAfterEachRound(const Standings& standings, const DriverStanding& driver);

// The text of a status as the open formats write it: "classified",
// "not classified", "DSQ", "absent".
const char* statusName(RoundStatus status);

// How a published table shows a round's replay: as the season file writes
// it when that is relative, by its file name when it is absolute (a path from
// the organiser's machine tells nothing to readers and may tell too much).
std::string publishedReplay(const std::string& replay);
