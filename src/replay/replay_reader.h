// Reads a Grand Prix Legends replay into views of its records.
#pragma once

#include <cstdint>
#include <vector>

#include "replay/replay_file.h"
#include "replay/replay_records.h"

class Diagnostics;

struct ReplaySession {
    std::uint32_t index = 0; // into the weekend's session list
    std::vector<CarLapsRecord> cars;
};

// Every record of a replay. The views point into the file, which must
// outlive them.
struct ReplayRecords {
    HeaderRecord header;
    WeekendRecord weekend;
    std::vector<DriverRecord> drivers;
    std::vector<ReplaySession> sessions;
};

// Reads the whole replay; container errors propagate as exceptions, the
// warnings go to diagnostics.
ReplayRecords readReplay(const ReplayFile& file, Diagnostics& diagnostics);
