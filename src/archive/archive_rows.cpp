#include "archive/archive_rows.h"

#include "document/cells.h"

namespace {

ArchiveCell integer(std::int64_t value) { return value; }
ArchiveCell time(std::uint32_t ms) { return formatLapTime(ms); }
ArchiveCell time(std::int32_t ms) { return formatLapTime(ms); }
// Milliseconds, null for noTime; signed gaps as their bit pattern, as the
// report shows them.
ArchiveCell milliseconds(std::uint32_t ms) { return ms == noTime ? ArchiveCell() : integer(ms); }
ArchiveCell milliseconds(std::int32_t ms) { return milliseconds(static_cast<std::uint32_t>(ms)); }

ArchiveRow resultRow(const std::string& key, std::size_t session, SessionType type, const char* table,
                     const Entry& entry, std::int32_t driverId) {
    ArchiveRow row(RS_COUNT);
    row[RS_REPLAY] = key;
    row[RS_SESSION] = integer(static_cast<std::int64_t>(session));
    row[RS_SESSION_TYPE] = sessionTypeName(type);
    row[RS_TABLE] = std::string(table);
    row[RS_NUMBER] = integer(entry.number);
    row[RS_DRIVER] = displayName(entry.drivers.find(driverId));
    row[RS_TEAM] = entry.team;
    return row;
}

// A row of a best-lap table; position 0 for a car without a time, whose
// times read "-.---" and whose position, lap and milliseconds are null.
ArchiveRow bestLapRow(ArchiveRow row, int position, const BestLapResult& r) {
    const bool timed = r.lapTime != 0;
    const std::uint32_t lapTime = timed ? r.lapTime : noTime;
    const std::uint32_t gap = timed ? static_cast<std::uint32_t>(r.gap) : noTime;
    const std::uint32_t clock = timed ? r.clock : noTime;
    if (timed) row[RS_POSITION] = integer(position);
    row[RS_LAP_TIME] = time(lapTime);
    row[RS_GAP] = time(gap);
    if (timed) row[RS_LAP] = integer(r.lap);
    row[RS_CLOCK] = time(clock);
    row[RS_VALID_LAPS] = integer(r.lapsValid);
    row[RS_TOTAL_LAPS] = integer(r.lapsTotal);
    row[RS_REMARK] = timed ? lapRemark(r.flags) : std::string("no time");
    row[RS_LAP_TIME_MS] = milliseconds(lapTime);
    row[RS_GAP_MS] = milliseconds(gap);
    row[RS_CLOCK_MS] = milliseconds(clock);
    return row;
}

ArchiveRow raceRow(ArchiveRow row, int position, const RaceResult& r) {
    row[RS_POSITION] = integer(position);
    row[RS_LAPS] = integer(r.laps);
    row[RS_TIME] = time(r.clock);
    row[RS_GAP] = time(r.gap);
    row[RS_DIFF] = time(r.diff);
    row[RS_REMARK] = std::string(raceRemark(r));
    row[RS_TIME_MS] = milliseconds(r.clock);
    row[RS_GAP_MS] = milliseconds(r.gap);
    row[RS_DIFF_MS] = milliseconds(r.diff);
    row[RS_LAPS_BEHIND] = integer(r.lapsBehind);
    row[RS_STATUS] = std::string(r.retired ? "retired" : "finished");
    if (r.bestLapTime != 0) row[RS_BEST_LAP_MS] = integer(r.bestLapTime);
    return row;
}

} // namespace

ArchiveRow replayRow(const ReplayFacts& facts, const std::string& key, const Weekend& weekend) {
    ArchiveRow row(RP_COUNT);
    row[RP_KEY] = key;
    row[RP_PATH] = facts.path;
    if (facts.size) row[RP_SIZE] = integer(static_cast<std::int64_t>(*facts.size));
    row[RP_TRACK] = weekend.event.track;
    row[RP_CARSET] = weekend.event.carset;
    row[RP_SAVER] = weekend.saverName + " " + weekend.saverVersion;
    row[RP_SESSIONS] = integer(static_cast<std::int64_t>(weekend.event.sessions.size()));
    row[RP_CARS] = integer(static_cast<std::int64_t>(weekend.event.entries.size()));
    row[RP_WARNINGS] = facts.warnings;
    return row;
}

ArchiveRow brokenReplayRow(const ReplayFacts& facts, const std::string& error) {
    ArchiveRow row(RP_COUNT);
    row[RP_PATH] = facts.path;
    if (facts.size) row[RP_SIZE] = integer(static_cast<std::int64_t>(*facts.size));
    row[RP_ERROR] = error;
    row[RP_WARNINGS] = facts.warnings;
    return row;
}

void resultRows(const Weekend& weekend, const std::string& key, const RowOut& out) {
    const EntryIndex entries(weekend.event.entries);
    std::size_t number = 0;
    for (const Session& session : weekend.event.sessions) {
        ++number;
        auto start = [&](const char* table, std::int32_t carId, std::int32_t driverId) {
            return resultRow(key, number, session.type, table, entries.find(carId), driverId);
        };
        if (session.type == SessionType::PRACTICE) {
            int position = 0;
            for (const BestLapResult& r : bestLapResults(session.timing))
                out(bestLapRow(start("results", r.carId, r.driverId), ++position, r));
            for (const BestLapResult& r : carsWithoutTime(session.timing))
                out(bestLapRow(start("results", r.carId, r.driverId), 0, r));
        } else if (session.type == SessionType::RACE) {
            int position = 0;
            for (const RaceResult& r : raceResults(session.timing))
                out(raceRow(start("classification", r.carId, r.driverId), ++position, r));
            position = 0;
            for (const BestLapResult& r : bestLapResults(session.timing))
                out(bestLapRow(start("fastestLaps", r.carId, r.driverId), ++position, r));
        }
    }
}

void lapRows(const Weekend& weekend, const std::string& key, const RowOut& out) {
    const EntryIndex entries(weekend.event.entries);
    std::size_t number = 0;
    for (const Session& session : weekend.event.sessions) {
        ++number;
        const SessionTiming& timing = session.timing;
        const std::vector<std::vector<std::uint32_t>> positions = crossingPositions(timing);
        for (std::size_t c = 0; c < timing.cars.size(); ++c) {
            const TimingEntry& car = timing.cars[c];
            const Entry& entry = entries.find(car.carId);
            // One row, refilled for each crossing: a replay can hold millions.
            ArchiveRow row(LP_COUNT);
            row[LP_REPLAY] = key;
            row[LP_SESSION] = integer(static_cast<std::int64_t>(number));
            row[LP_SESSION_TYPE] = sessionTypeName(session.type);
            row[LP_NUMBER] = integer(entry.number);
            row[LP_DRIVER] = displayName(entry.drivers.find(car.driverId));
            for (std::size_t i = 0; i < car.laps.size(); ++i) {
                const TimedLap& lap = car.laps[i];
                const std::uint32_t lapTime = lapTimeAt(car, i);
                row[LP_LAP] = integer(static_cast<std::int64_t>(i));
                row[LP_LAP_TIME] = time(lapTime);
                row[LP_CLOCK] = time(lap.clock);
                row[LP_REMARK] = lapRemark(lap.flags);
                row[LP_LAP_TIME_MS] = milliseconds(lapTime);
                row[LP_CLOCK_MS] = milliseconds(lap.clock);
                row[LP_POSITION] = integer(positions[c][i]);
                row[LP_OFF_TRACK] = (lap.flags & LapFlag::offTrack) != 0;
                row[LP_INVALID] = (lap.flags & LapFlag::invalid) != 0;
                out(row);
            }
        }
    }
}
