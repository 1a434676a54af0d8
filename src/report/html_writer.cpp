#include "report/html_writer.h"

#include <algorithm>
#include <charconv>
#include <cctype>

#include "page/html_page.h"
#include "report/race_charts.h"
#include "document/cells.h"
#include "text/format.h"

using html::cell;
using html::closeTable;
using html::numberCell;
using html::openTable;

namespace {

// Times as the other formats print them ("-.---" for none).
template <class T>
void timeCell(std::string& out, T ms) {
    numberCell(out, std::string_view(formatLapTime(ms)));
}

void fact(std::string& out, std::string_view term, std::string_view value) {
    out += "<dt>";
    out += term;
    out += "</dt><dd>";
    appendHtmlName(out, value);
    out += "</dd>\n";
}

// The cells that name a result row's car: number, driver, team.
void driverCells(std::string& out, const Entry& entry, std::int32_t driverId) {
    numberCell(out, entry.number);
    cell(out, displayName(entry.drivers.find(driverId)));
    cell(out, entry.team);
}

// One line of a car's lap list. A report with every lap holds millions of
// these, so each is put together on the stack and appended at once, and
// the end tags that HTML makes optional (</td>, </tr>) are left out.
void appendLapRow(std::string& out, std::size_t index, std::uint32_t lapTime, const TimedLap& lap) {
    char buf[128];
    char* p = buf;
    const auto put = [&p](std::string_view text) { p = std::copy(text.begin(), text.end(), p); };
    put((lap.flags & LapFlag::invalid) ? "<tr class=\"inv\"><td>" : "<tr><td>");
    p = std::to_chars(p, std::end(buf), index).ptr;
    put("<td>");
    put(formatLapTime(lapTime)); // at most 14 characters
    put("<td>");
    put(formatLapTime(lap.clock));
    put("<td>");
    if (lap.flags != 0) put(lapRemark(lap.flags)); // at most 25 characters
    *p++ = '\n';
    out.append(buf, p);
}

// "Practice" for PRACTICE: headings, not data.
std::string sessionName(const Session& session) {
    std::string name = sessionTypeName(session.type);
    if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

} // namespace

void HtmlWriter::begin(const Weekend& weekend) {
    // The heading follows the header switch: without it, no track.
    const Event& event = weekend.event;
    std::string title = options_.eventInfo && !event.track.empty() ? event.track : "Race weekend";
    std::string subtitle;
    if (weekend.carset && !weekend.carset->name.empty()) subtitle = weekend.carset->name;
    else if (options_.eventInfo) subtitle = event.carset;
    appendHtmlPageStart(out_.buffer(), title, subtitle);
}

void HtmlWriter::openFacts() {
    if (factsOpen_) return;
    out_ += "<div class=\"facts\">\n";
    factsOpen_ = true;
}

void HtmlWriter::closeFacts() {
    if (!factsOpen_) return;
    out_ += "</div>\n";
    factsOpen_ = false;
}

void HtmlWriter::carset(const CarsetInfo& info) {
    openFacts();
    std::string& out = out_.buffer();
    out += "<section>\n<h2>Carset Info</h2>\n<dl>\n";
    if (!info.name.empty()) fact(out, "Name", info.name);
    if (!info.cardir.empty()) fact(out, "Car folder", info.cardir);
    if (!info.physics.empty()) fact(out, "Physics", info.physics);
    if (!info.shortid.empty()) fact(out, "Short id", info.shortid);
    if (info.year != 0) fact(out, "Year", formatText("%d", info.year));
    out += "</dl>\n</section>\n";
}

void HtmlWriter::replayInfo(const Weekend& weekend) {
    openFacts();
    std::string& out = out_.buffer();
    out += "<section>\n<h2>Replay Info</h2>\n<dl>\n";
    fact(out, "Saver", weekend.saverName + " " + weekend.saverVersion);
    out += "</dl>\n</section>\n";
}

void HtmlWriter::eventInfo(const Event& event) {
    openFacts();
    std::string& out = out_.buffer();
    out += "<section>\n<h2>Event Info</h2>\n<dl>\n";
    fact(out, "Track", event.track);
    fact(out, "Carset", event.carset);
    out += "</dl>\n</section>\n";
}

void HtmlWriter::entryList(const std::vector<const Entry*>& byNumber) {
    closeFacts();
    std::string& out = out_.buffer();
    out += "<section>\n<h2>Entry List</h2>\n";
    openTable(out, "", "<th class=\"n\">No.</th><th>Driver</th><th>Nat.</th><th>Team</th><th>Chassis</th>"
                       "<th>Engine</th><th class=\"n\">Year</th>");
    for (const Entry* entry : byNumber) {
        std::string& row = out_.buffer();
        row += "<tr>";
        numberCell(row, entry->number);
        // Cars with more than one driver list them one per line.
        row += "<td>";
        for (std::size_t i = 0; i < entry->drivers.size(); ++i) {
            if (i > 0) row += "<br>";
            appendHtmlName(row, displayName(entry->drivers[i]));
        }
        row += "</td><td>";
        for (std::size_t i = 0; i < entry->drivers.size(); ++i) {
            if (i > 0) row += "<br>";
            appendHtmlName(row, entry->drivers[i].nat);
        }
        row += "</td>";
        cell(row, entry->team);
        cell(row, entry->chassis);
        cell(row, entry->engine);
        numberCell(row, entry->year);
        row += "</tr>\n";
        out_.endRow();
    }
    closeTable(out_.buffer());
    out_ += "</section>\n";
}

void HtmlWriter::beginSession(const SessionReport&) {
    closeFacts();
    sessionOpen_ = false;
}

// A session's section opens with its first table; sessions without one
// (testing) leave no trace, as in the other formats.
void HtmlWriter::openSession(const SessionReport& session) {
    if (sessionOpen_) return;
    appendFormat(out_.buffer(), "<section id=\"session-%u\">\n<h2>Session %u (%s)</h2>\n", session.number,
                 session.number, sessionName(*session.session));
    sessionOpen_ = true;
}

void HtmlWriter::endSession(const SessionReport&) {
    if (sessionOpen_) out_ += "</section>\n";
    sessionOpen_ = false;
}

void HtmlWriter::bestLaps(std::string_view title, const std::vector<BestLapResult>& rows) {
    std::string& out = out_.buffer();
    appendFormat(out, "<h3>%s</h3>\n", title);
    openTable(out, "", "<th class=\"n\">Pos</th><th class=\"n\">No.</th><th>Driver</th><th>Team</th>"
                       "<th class=\"n\">Time</th><th class=\"n\">Gap</th><th class=\"n\">Lap</th>"
                       "<th class=\"n\">Clock</th><th class=\"n\">Valid laps</th><th class=\"n\">Laps</th>"
                       "<th>Remark</th>");
    int pos = 0;
    for (const BestLapResult& r : rows) {
        std::string& row = out_.buffer();
        row += "<tr>";
        numberCell(row, ++pos);
        driverCells(row, entries_.find(r.carId), r.driverId);
        timeCell(row, r.lapTime);
        timeCell(row, r.gap);
        numberCell(row, r.lap);
        timeCell(row, r.clock);
        numberCell(row, r.lapsValid);
        numberCell(row, r.lapsTotal);
        html::textCell(row, lapRemark(r.flags));
        row += "</tr>\n";
        out_.endRow();
    }
    closeTable(out_.buffer());
}

void HtmlWriter::practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) {
    if (rows.empty()) return;
    openSession(session);
    bestLaps("Practice Results", rows);
}

void HtmlWriter::fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) {
    if (rows.empty()) return;
    openSession(session);
    bestLaps("Race Fastest Laps", rows);
}

void HtmlWriter::raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) {
    if (rows.empty()) return;
    openSession(session);
    std::string& out = out_.buffer();
    out += "<h3>Race Results</h3>\n";
    openTable(out, "", "<th class=\"n\">Pos</th><th class=\"n\">No.</th><th>Driver</th><th>Team</th>"
                       "<th class=\"n\">Laps</th><th class=\"n\">Time</th><th class=\"n\">Gap</th>"
                       "<th class=\"n\">Diff</th><th>Status</th><th class=\"n\">Best lap</th>");
    int pos = 0;
    for (const RaceResult& r : rows) {
        std::string& row = out_.buffer();
        row += "<tr>";
        numberCell(row, ++pos);
        driverCells(row, entries_.find(r.carId), r.driverId);
        numberCell(row, r.laps);
        timeCell(row, r.clock);
        timeCell(row, r.gap);
        timeCell(row, r.diff);
        row += "<td class=\"st\">";
        row += raceStatus(r);
        row += "</td>";
        if (r.bestLapTime == 0) numberCell(row, std::string_view());
        else timeCell(row, r.bestLapTime);
        row += "</tr>\n";
        out_.endRow();
    }
    closeTable(out_.buffer());
    raceCharts(session, rows);
}

void HtmlWriter::raceCharts(const SessionReport& session, const std::vector<RaceResult>& rows) {
    // A chart needs a lap: the start crossing alone draws nothing.
    if (session.session->timing.cells.size() < 2) return;
    const std::vector<RaceTrace> traces = raceTraces(session.session->timing, rows);
    const LineChart laps = lapChart(traces, session.number);
    appendLineChart(out_.buffer(), laps, frameForRows(laps.y.max - laps.y.min + 1, 18),
                    "Lap chart: each car's position at the end of every lap. The car number stands at both ends "
                    "of its line; a line ending in a dot marked DNF is a retirement.");
    out_.endRow();
    const LineChart gaps = gapChart(traces, session.number);
    appendLineChart(out_.buffer(), gaps, frameForRows(17, 20),
                    "Gap chart: each car's time behind the leader as it completed every lap. A lapped car's "
                    "line ends, marked lapped, at its last lap before the leader lapped it.");
    out_.endRow();
}

void HtmlWriter::lapListings(const std::vector<SessionReport>& sessions) {
    out_ += "<section id=\"laps\">\n<h2>Lap Times</h2>\n";
    for (const SessionReport& s : sessions) {
        appendFormat(out_.buffer(), "<h3>Session %u (%s)</h3>\n", s.number, sessionName(*s.session));
        // Each car's own laps, also when two cars share an id.
        for (const TimingEntry& car : s.session->timing.cars) {
            const Entry& entry = entries_.find(car.carId);
            std::string& out = out_.buffer();
            appendFormat(out, "<details><summary>%d ", entry.number);
            appendHtmlName(out, displayName(entry.drivers.find(car.driverId)));
            const std::size_t laps = car.laps.empty() ? 0 : car.laps.size() - 1;
            appendFormat(out, " \xC2\xB7 %u %s</summary>\n", laps, laps == 1 ? "lap" : "laps");
            openTable(out, "laps", "<th>Lap</th><th>Time</th><th>Clock</th><th>Remark</th>");
            std::uint32_t prev = 0;
            for (std::size_t i = 0; i < car.laps.size(); ++i) {
                const TimedLap& lap = car.laps[i];
                appendLapRow(out_.buffer(), i, lap.clock - prev, lap);
                prev = lap.clock;
                out_.endRow();
            }
            closeTable(out_.buffer());
            out_ += "</details>\n";
        }
    }
    out_ += "</section>\n";
}

void HtmlWriter::end() {
    closeFacts();
    appendHtmlPageEnd(out_.buffer());
}
