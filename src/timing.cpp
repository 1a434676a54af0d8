#include "timing.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <unordered_set>
#include <stdexcept>

#include "undead/doformat.h"

namespace {

// Room reserved up front: a long race has about this many laps.
constexpr std::size_t typicalLaps = 110;

constexpr std::uint32_t msPerHour = 3'600'000;
constexpr std::uint32_t msPerMinute = 60'000;
constexpr std::uint32_t msPerSecond = 1'000;

// Differences of clocks wrap like the game's unsigned counters; the signed
// fields keep the resulting bit pattern.
std::int32_t signedDiff(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::int32_t>(a - b);
}

void appendRemark(std::string& remark, const char* word) {
    if (!remark.empty()) remark += ' ';
    remark += word;
}

} // namespace

std::string lapRemark(std::uint8_t flags) {
    std::string remark;
    if (flags & LapFlag::offTrack) appendRemark(remark, "Off Track");
    if (flags & LapFlag::invalid) appendRemark(remark, "Invalid");
    if (flags & LapFlag::unknown) appendRemark(remark, "Unknown");
    return remark;
}

// Written digit by digit rather than through doformat: a report with every
// lap holds millions of times, and this takes a third off its run time.
std::string formatLapTime(std::uint32_t ms) {
    if (ms == noTime) return "-.---";
    const std::uint32_t h = ms / msPerHour;
    const std::uint32_t m = (ms / msPerMinute) % 60;
    const std::uint32_t s = (ms / msPerSecond) % 60;
    const std::uint32_t f = ms % msPerSecond;
    char buf[24]; // "1193:02:47.295" at most
    char* p = buf;
    auto digits = [&p](std::uint32_t value, int count) {
        for (int k = count - 1; k >= 0; --k, value /= 10) p[k] = static_cast<char>('0' + value % 10);
        p += count;
    };
    auto leading = [&p, &buf](std::uint32_t value) { p = std::to_chars(p, std::end(buf), value).ptr; };
    if (h != 0) {
        leading(h);
        *p++ = ':';
        digits(m, 2);
        *p++ = ':';
        digits(s, 2);
    } else if (m != 0) {
        leading(m);
        *p++ = ':';
        digits(s, 2);
    } else {
        leading(s);
    }
    *p++ = '.';
    digits(f, 3);
    return std::string(buf, p);
}

// ---- Timing ----------------------------------------------------------------

std::int32_t Timing::kindOf(SessT type) {
    switch (type) {
    case SessT::TESTING:
    case SessT::PRACTICE:
        return 0;
    case SessT::RACE:
        return 1;
    }
    throw std::runtime_error("Unknown timing type");
}

TimingCells Timing::buildCells(const std::vector<TimingEntry>& list) const {
    TimingCells rows;
    rows.reserve(typicalLaps);
    for (const TimingEntry& entry : list) {
        for (std::size_t i = 0; i < entry.laps.size(); ++i) {
            if (rows.size() <= i) rows.resize(i + 1);
            const TimedLap& lap = entry.laps[i];
            rows[i].push_back(TimingCell{entry.carId, entry.driverId,
                                         static_cast<std::uint32_t>(i), lap.clock, lap.flags});
        }
    }
    for (auto& row : rows) std::sort(row.begin(), row.end());
    return rows;
}

BestLapResult Timing::bestLap(const TimingEntry& entry) const {
    BestLapResult best;
    bool found = false;
    std::uint32_t valid = 0;
    std::uint32_t total = 0;
    std::uint32_t prev = 0;
    for (std::size_t i = 0; i < entry.laps.size(); ++i) {
        const TimedLap& lap = entry.laps[i];
        const std::uint32_t lapTime = lap.clock - prev;
        prev = lap.clock;
        if (i == 0) continue; // the first crossing only starts lap 1
        ++total;
        if (lap.flags & LapFlag::invalid) continue;
        ++valid;
        // <= : of equal laps the latest one counts
        if (!found || lapTime <= best.lapTime) {
            best = BestLapResult{entry.carId, entry.driverId, static_cast<std::uint32_t>(i),
                                 lapTime, lap.clock, -1, 0, 0, lapRemark(lap.flags)};
            found = true;
        }
    }
    if (!found) return BestLapResult{entry.carId, entry.driverId, 0, 0, 0, 0, 0, 0, "no time"};
    best.lapsValid = valid;
    best.lapsTotal = total;
    return best;
}

std::vector<BestLapResult> Timing::bestLapResults() const {
    std::vector<BestLapResult> results;
    for (const TimingEntry& entry : timingEntries) {
        BestLapResult r = bestLap(entry);
        if (r.lapTime != 0) results.push_back(std::move(r));
    }
    std::sort(results.begin(), results.end(),
              [](const BestLapResult& a, const BestLapResult& b) { return a < b; });
    if (!results.empty()) {
        const std::uint32_t fastest = results.front().lapTime;
        for (BestLapResult& r : results) r.gap = signedDiff(r.lapTime, fastest);
    }
    return results;
}

std::uint32_t Timing::bestLapTime(const std::vector<TimedLap>& laps) const {
    std::uint32_t best = 0;
    bool found = false;
    std::uint32_t prev = 0;
    for (std::size_t i = 0; i < laps.size(); ++i) {
        const std::uint32_t lapTime = laps[i].clock - prev;
        prev = laps[i].clock;
        if (i == 0 || (laps[i].flags & LapFlag::invalid)) continue;
        if (!found || lapTime < best) best = lapTime;
        found = true;
    }
    return best;
}

std::vector<RaceResult> Timing::raceResults() const {
    std::vector<RaceResult> results;
    if (cells.empty() || cells.front().empty()) return results;

    const std::uint32_t startClock = cells.front().front().clock;
    const std::size_t winnerRow = cells.size() - 1;
    const std::uint32_t winnerClock = cells[winnerRow].front().clock;

    // A set, not a list searched for every cell: a hostile replay may hold
    // many thousands of cars.
    std::unordered_set<std::int32_t> classified;
    classified.reserve(timingEntries.size());
    auto isClassified = [&classified](std::int32_t carId) { return classified.count(carId) != 0; };

    for (std::size_t j = cells.size(); j-- > 0;) {
        const auto& row = cells[j];
        for (std::size_t p = 0; p < row.size(); ++p) {
            const TimingCell& cell = row[p];
            if (isClassified(cell.carId)) continue;

            RaceResult r;
            r.carId = cell.carId;
            r.driverId = cell.driverId;
            r.laps = static_cast<std::uint32_t>(j);
            r.clock = cell.clock - startClock;
            r.gap = signedDiff(cell.clock, winnerClock);
            if (j == winnerRow) {
                r.diff = signedDiff(cell.clock, p == 0 ? winnerClock : row[p - 1].clock);
            } else {
                if (r.gap < 0) {
                    // Stopped before the winner finished: measure against the
                    // first car that completed as many crossings.
                    r.gap = signedDiff(cell.clock, row.front().clock);
                    r.remark = "DNF";
                }
                r.diff = p == 0 ? static_cast<std::int32_t>(noTime)
                                : signedDiff(cell.clock, row[p - 1].clock);
            }
            results.push_back(std::move(r));
            classified.insert(cell.carId);
        }
    }
    return results;
}

RaceResult Timing::raceResult(const TimingEntry& entry) const {
    if (entry.laps.empty()) return RaceResult{entry.carId, entry.driverId, 0, 0, 0, 0, "no laps"};
    const std::size_t completed = entry.laps.size() - 1;
    if (completed > 32767) throw std::runtime_error("Conversion positive overflow");
    return RaceResult{entry.carId, entry.driverId, static_cast<std::uint32_t>(completed),
                      entry.laps.back().clock, 0, 0, ""};
}

std::vector<RaceResult> Timing::raceResultsByCar() const {
    std::vector<RaceResult> results;
    results.reserve(timingEntries.size());
    for (const TimingEntry& entry : timingEntries) results.push_back(raceResult(entry));
    std::sort(results.begin(), results.end(),
              [](const RaceResult& a, const RaceResult& b) { return a < b; });
    if (results.empty()) return results;

    const std::uint32_t leaderClock = results.front().clock;
    for (std::size_t k = 0; k < results.size(); ++k) {
        RaceResult& r = results[k];
        const bool sameLapAsPrev = k > 0 && results[k - 1].laps == r.laps;
        r.diff = sameLapAsPrev ? signedDiff(r.clock, results[k - 1].clock) : 0;
        // "DNF" joins an existing remark after a space: "no laps DNF".
        if (r.clock < leaderClock) appendRemark(r.remark, "DNF");
    }
    return results;
}

std::vector<TimedLap> Timing::lapsOf(std::int32_t carId) const {
    for (const TimingEntry& entry : timingEntries)
        if (entry.carId == carId) return entry.laps;
    return {};
}

void Timing::appendLapListing(std::string& out, const TimingEntry& entry) const {
    appendFormat(out, "Car number %d laptimes\n", entryIndex.find(entry.carId).number);
    std::uint32_t prev = 0;
    for (std::size_t i = 0; i < entry.laps.size(); ++i) {
        const TimedLap& lap = entry.laps[i];
        appendFormat(out, "%3s: %9s  %s\n", i, formatLapTime(lap.clock - prev), lapRemark(lap.flags));
        prev = lap.clock;
    }
    out += "\n";
}

std::string Timing::lapTimesText(std::int32_t carId) const {
    std::string text;
    for (const TimingEntry& entry : timingEntries) {
        if (entry.carId == carId) {
            appendLapListing(text, entry);
            return text;
        }
    }
    appendLapListing(text, TimingEntry{carId, 0, {}});
    return text;
}

void Timing::appendAllLapTimes(std::string& out) const {
    // Each entry's own laps, also when two cars share an id.
    for (const TimingEntry& entry : timingEntries) appendLapListing(out, entry);
}

std::string Timing::allLapTimesText() const {
    std::string text;
    appendAllLapTimes(text);
    return text;
}

std::string Timing::dumpText() const { return {}; }

// ---- TimingGPL -------------------------------------------------------------

TimingGPL::TimingGPL(const Session& sess, const RpySession& rpySession, const Entries& ents)
    : Timing(sess, ents) {
    readLaps(rpySession.cars);
    kind = kindOf(session.type);
}

void TimingGPL::readLaps(const std::vector<CarLaps>& cars) {
    for (const CarLaps& car : cars) {
        const Entry& entry = entryIndex.find(car.carId);
        if (entry.drivers.empty())
            throw std::runtime_error(doformat("No entry for car id %d", car.carId));

        TimingEntry timed{car.carId, entry.drivers.front().driverId, {}};
        timed.laps.reserve(car.laps.size());
        for (std::size_t i = 0; i < car.laps.size(); ++i) {
            const LapTime record = car.laps[i];
            const std::uint8_t high = record.flags();
            // Record bits 0x40 and 0x10 are known; any other bit is unknown.
            std::uint8_t flags = 0;
            if (high & 0x40) flags |= LapFlag::offTrack;
            if (high & 0x10) flags |= LapFlag::invalid;
            if (high & 0xAF) flags |= LapFlag::unknown;
            timed.laps.push_back(TimedLap{record.clock(), flags});
        }
        timingEntries.push_back(std::move(timed));
    }
    cells = buildCells(timingEntries);
}
