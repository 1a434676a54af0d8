// Enumerations shared across modules.
#pragma once

#include <cstdint>
#include <string>

// Report sections that the command line can switch.
enum class Flag { REPLAY_INFO, EVENT_INFO, ENTRY_LIST, PRACTICE_RESULTS, RACE_RESULTS, LAPS };

// The game that saved a replay.
enum class Game : std::uint8_t { UNK = 0, GPL = 1, N4 = 2, N2K2 = 3, N2K3 = 4, IRAC = 5 };

// Session type codes as stored in a replay.
enum class SessT : std::int16_t { TESTING = 2, PRACTICE = 6, RACE = 7 };

// "GPL", or "cast(Game)" and the value for one outside the list.
std::string toString(Game g);
// "RACE", or "cast(SessT)" and the value for one outside the list.
std::string toString(SessT t);
