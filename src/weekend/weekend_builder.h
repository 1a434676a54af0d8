// Builds the weekend model from a replay's records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "replay/replay_file.h"
#include "weekend/weekend.h"

class Diagnostics;

// Which carset names the cars: a file named by the user (a failure to load
// it is a CarsetError), and whether to search for the replay's own carset
// when none is loaded.
struct CarsetChoice {
    std::string path;
    bool detect = false;
};

// The most line crossings a replay may hold, over all its sessions; a real
// weekend holds some thousands. More are refused with an error.
inline constexpr std::uint64_t maxReplayCrossings = 100'000'000;

// Reads the replay and builds its weekend. Warnings and the notice of a
// detected carset go to diagnostics, in the order they arise.
Weekend buildWeekend(const ReplayFile& file, const CarsetChoice& carsetChoice, Diagnostics& diagnostics);

// The path of the carset that buildWeekend would search out for the replay
// (choice.detect without a loaded choice.path), or none: known before a run,
// so that its output never replaces that file. A replay that cannot be read
// has none; its run says why.
std::optional<std::string> detectedCarsetPath(const ReplayFile& file);
