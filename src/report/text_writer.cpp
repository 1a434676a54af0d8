#include "report/text_writer.h"

#include "document/cells.h"
#include "text/format.h"
#include "text/visible_text.h"

namespace {

// Names and every other text of the replay or carset reach the report as
// visibleText, so that none can break a line or talk to the terminal.
std::string shownName(const Driver& driver) { return visibleText(displayName(driver)); }

} // namespace

void TextWriter::carset(const CarsetInfo& info) {
    std::string& out = out_.buffer();
    out += "Carset Info\n";
    if (!info.name.empty()) appendFormat(out, "name      : %s\n", visibleText(info.name));
    if (!info.cardir.empty()) appendFormat(out, "cardir    : %s\n", visibleText(info.cardir));
    if (!info.physics.empty()) appendFormat(out, "physics   : %s\n", visibleText(info.physics));
    if (!info.shortid.empty()) appendFormat(out, "shortid   : %s\n", visibleText(info.shortid));
    if (info.year != 0) appendFormat(out, "year      : %s\n", info.year);
}

void TextWriter::replayInfo(const Weekend& weekend) {
    out_ += "Replay Info\n";
    appendFormat(out_.buffer(), "saver     : %s %s\n", visibleText(weekend.saverName),
                 visibleText(weekend.saverVersion));
}

void TextWriter::eventInfo(const Event& event) {
    out_ += "Event Info\n";
    appendFormat(out_.buffer(), "track     : %s\n", visibleText(event.track));
    appendFormat(out_.buffer(), "carset    : %s\n", visibleText(event.carset));
    out_ += "\n";
}

void TextWriter::entryList(const std::vector<const Entry*>& byNumber) {
    out_ += "Entry List\n\n";
    // The header does not line up with the columns; it is kept as users
    // know it.
    out_ += "Num Team                          Chassis                Engine                  Year\n";
    out_ += "      Driver                 NAT    Remark\n";
    for (const Entry* entry : byNumber) {
        appendFormat(out_.buffer(), "%3s %-30s%-23s%-24s%s\n", entry->number, visibleText(entry->team),
                     visibleText(entry->chassis), visibleText(entry->engine), entry->year);
        for (const Driver& driver : entry->drivers)
            appendFormat(out_.buffer(), "      %-23s%-5s  %s\n", shownName(driver), driver.nat, driver.remark);
        out_.endRow();
    }
}

// Also when the entry list is switched off.
void TextWriter::beginSessions() { out_ += "\n"; }

void TextWriter::bestLaps(std::string_view title, const std::vector<BestLapResult>& rows) {
    if (rows.empty()) return;
    out_ += title;
    out_ += "\n\n";
    out_ += "Pos Num Driver                     Time        Gap   Lap      Clock   VLaps TLaps  Remark\n";
    int pos = 0;
    for (const BestLapResult& r : rows) {
        const Entry& entry = entries_.find(r.carId);
        appendFormat(out_.buffer(), "%2d. %3s %-23s %9s %9s %4s %12s %5s %5s  %s\n", ++pos, entry.number,
                     shownName(entry.drivers.find(r.driverId)), formatLapTime(r.lapTime), formatLapTime(r.gap),
                     r.lap, formatLapTime(r.clock), r.lapsValid, r.lapsTotal, lapRemark(r.flags));
        out_.endRow();
    }
    out_ += "\n";
}

void TextWriter::practiceResults(const SessionReport&, const std::vector<BestLapResult>& rows) {
    bestLaps("Practice Results", rows);
}

void TextWriter::fastestLaps(const SessionReport&, const std::vector<BestLapResult>& rows) {
    bestLaps("Race Fastest Laps", rows);
}

void TextWriter::raceResults(const SessionReport&, const std::vector<RaceResult>& rows) {
    if (rows.empty()) return;
    out_ += "Race Results\n\n";
    out_ += "Pos Num Driver                  Laps     Clock        Gap       Diff   Remark\n";
    int pos = 0;
    for (const RaceResult& r : rows) {
        const Entry& entry = entries_.find(r.carId);
        // Diff always carries the leading "-", also for the winner's 0 and
        // for a missing difference.
        std::string diff = formatLapTime(r.diff);
        diff.insert(diff.begin(), '-');
        appendFormat(out_.buffer(), "%2d. %3s %-23s %3s %12s %9s %10s  %s\n", ++pos, entry.number,
                     shownName(entry.drivers.find(r.driverId)), r.laps, formatLapTime(r.clock),
                     formatLapTime(r.gap), diff, raceRemark(r));
        out_.endRow();
    }
    out_ += "\n";
}

void TextWriter::lapListings(const std::vector<SessionReport>& sessions) {
    for (const SessionReport& s : sessions) {
        appendFormat(out_.buffer(), "Session %s (%s) Laptimes\n\n", s.number, toString(s.session->type));
        // Each car's own laps, also when two cars share an id.
        for (const TimingEntry& car : s.session->timing.cars) {
            appendFormat(out_.buffer(), "Car number %d laptimes\n", entries_.find(car.carId).number);
            std::uint32_t prev = 0;
            for (std::size_t i = 0; i < car.laps.size(); ++i) {
                const TimedLap& lap = car.laps[i];
                appendFormat(out_.buffer(), "%3s: %9s  %s\n", i, formatLapTime(lap.clock - prev), lapRemark(lap.flags));
                prev = lap.clock;
                out_.endRow();
            }
            out_ += "\n";
        }
    }
}
