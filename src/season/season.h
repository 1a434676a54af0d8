// A season from its file: every round's replay read, its race scored.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "season/season_file.h"
#include "season/standings.h"
#include "weekend/weekend.h"

class Diagnostics;

// Drivers times rounds the standings may show, each a cell of every table
// written (the standings hold only the rounds raced): sixteen million cells
// make a text table of about 130 MB.
inline constexpr std::size_t maxStandingsCells = 16'000'000;
// The results the standings hold, one per car of every round: what their
// memory grows with.
inline constexpr std::size_t maxStandingsResults = 1'000'000;

// Whether a path names another machine's share or a device on Windows:
// "\\host\share", "//host/share", "\\.\", "\\?\". Opening one would contact
// that machine, so a season file may not name one there; on POSIX "//x" is
// an ordinary path.
bool isNetworkOrDevicePath(std::string_view path);
// On Windows, a SeasonFileError for the first round whose replay or carset
// isNetworkOrDevicePath; called before any of them is opened or compared.
void refuseNetworkPaths(const SeasonFile& season);

// Reads the season file and each round's replay, in round order, and
// scores the season. A broken season file (or a round's carset) throws
// SeasonFileError; a missing or broken replay, a std::runtime_error whose
// message names the round; more drivers than maxStandingsCells allows, a
// SeasonFileError, as is more results than maxStandingsResults, or (on
// Windows) a round's path that isNetworkOrDevicePath. Warnings name their round, or the season file's line: a
// replay read by two rounds, a round's carset that names none of its cars,
// an alias that matches no driver of any round.
Standings loadSeason(const std::string& seasonPath, Diagnostics& diagnostics);
// The same for a season file read already.
Standings loadSeason(const SeasonFile& season, Diagnostics& diagnostics);

// The round's race: the weekend's last race session, with the names the
// standings use. Throws std::runtime_error when the weekend has no race.
RoundRace roundRace(const Weekend& weekend, const SeasonFile& season, const SeasonRound& round);
