#include "reptxt.h"

#include <algorithm>

#include "data.h"
#include "timing.h"
#include "undead/doformat.h"

std::string displayName(const Driver& driver) {
    return driver.firstName + " " + driver.lastName;
}

Entries sortedByNumber(const Entries& entries) {
    Entries sorted = entries;
    // Stable, so cars sharing a number come out the same way every run.
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Entry& a, const Entry& b) { return a.number < b.number; });
    return sorted;
}

void appendTextEntryList(std::string& out, const Entries& entries) {
    out += "Entry List\n\n";
    // The header does not line up with the columns; it is kept as users
    // know it.
    out += "Num Team                          Chassis                Engine                  Year\n";
    out += "      Driver                 NAT    Remark\n";
    for (const Entry& entry : sortedByNumber(entries)) {
        appendFormat(out, "%3s %-30s%-23s%-24s%s\n", entry.number, entry.team, entry.chassis,
                     entry.engine, entry.year);
        for (const Driver& driver : entry.drivers)
            appendFormat(out, "      %-23s%-5s  %s\n", displayName(driver), driver.nat, driver.remark);
    }
}

void appendTextBestLaps(std::string& out, std::string_view title, const Session& session,
                        const Entries& entries) {
    if (!session.timing) return;
    const std::vector<BestLapResult> results = session.timing->bestLapResults();
    if (results.empty()) return;
    const EntryIndex index(entries);

    out += title;
    out += "\n\n";
    out += "Pos Num Driver                     Time        Gap   Lap      Clock   VLaps TLaps  Remark\n";
    int pos = 0;
    for (const BestLapResult& r : results) {
        const Entry& entry = index.find(r.carId);
        const Driver driver = entry.drivers.find(r.driverId);
        appendFormat(out, "%2d. %3s %-23s %9s %9s %4s %12s %5s %5s  %s\n", ++pos, entry.number,
                     displayName(driver), formatLapTime(r.lapTime), formatLapTime(r.gap), r.lap,
                     formatLapTime(r.clock), r.lapsValid, r.lapsTotal, r.remark);
    }
    out += "\n";
}

void appendTextRaceResults(std::string& out, const Session& session, const Entries& entries) {
    if (!session.timing) return;
    const std::vector<RaceResult> results = session.timing->raceResults();
    if (results.empty()) return;
    const EntryIndex index(entries);

    out += "Race Results\n\n";
    out += "Pos Num Driver                  Laps     Clock        Gap       Diff   Remark\n";
    int pos = 0;
    for (const RaceResult& r : results) {
        const Entry& entry = index.find(r.carId);
        const Driver driver = entry.drivers.find(r.driverId);
        // Diff always carries the leading "-", also for the winner's 0 and
        // for a missing difference. Appended rather than "-" + ...: g++ 12
        // at -O3 takes that insert for an overlapping memcpy (-Wrestrict).
        std::string diff = "-";
        diff += formatLapTime(r.diff);
        appendFormat(out, "%2d. %3s %-23s %3s %12s %9s %10s  %s\n", ++pos, entry.number,
                     displayName(driver), r.laps, formatLapTime(r.clock), formatLapTime(r.gap), diff,
                     r.remark);
    }
    out += "\n";
}

void appendTextLapTimes(std::string& out, const std::vector<Session>& sessions) {
    std::size_t number = 0;
    for (const Session& session : sessions) {
        appendFormat(out, "Session %s (%s) Laptimes\n\n", ++number, toString(session.type));
        if (session.timing) session.timing->appendAllLapTimes(out);
    }
}
