// A season from its file: every round's replay read, its race scored.
#pragma once

#include <string>

#include "season/season_file.h"
#include "season/standings.h"
#include "weekend/weekend.h"

class Diagnostics;

// Reads the season file and each round's replay, in round order, and
// scores the season. A broken season file (or a round's carset) throws
// SeasonFileError; a missing or broken replay, a std::runtime_error whose
// message names the round. Warnings name their round.
Standings loadSeason(const std::string& seasonPath, Diagnostics& diagnostics);

// The round's race: the weekend's last race session, with the names the
// standings use. Throws std::runtime_error when the weekend has no race.
RoundRace roundRace(const Weekend& weekend, const SeasonFile& season, const SeasonRound& round);
