// A season from its file: every round's replay read, its race scored.
#pragma once

#include <cstddef>
#include <string>

#include "season/season_file.h"
#include "season/standings.h"
#include "weekend/weekend.h"

class Diagnostics;

// Drivers times rounds the standings may hold, each a cell of every table:
// a thousand drivers over a thousand rounds.
inline constexpr std::size_t maxStandingsCells = 1'000'000;

// Reads the season file and each round's replay, in round order, and
// scores the season. A broken season file (or a round's carset) throws
// SeasonFileError; a missing or broken replay, a std::runtime_error whose
// message names the round; more drivers than maxStandingsCells allows, a
// SeasonFileError. Warnings name their round, or the season file's line: a
// replay read by two rounds, a round's carset that names none of its cars,
// an alias that matches no driver of any round.
Standings loadSeason(const std::string& seasonPath, Diagnostics& diagnostics);

// The round's race: the weekend's last race session, with the names the
// standings use. Throws std::runtime_error when the weekend has no race.
RoundRace roundRace(const Weekend& weekend, const SeasonFile& season, const SeasonRound& round);
