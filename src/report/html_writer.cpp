#include "report/html_writer.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <map>

#include "page/html_page.h"
#include "page/result_table.h"
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

void HtmlWriter::carset(const CarsetInfo& info) {
    std::string& out = facts_;
    out += "<section>\n<h2>Carset Info</h2>\n<dl>\n";
    if (!info.name.empty()) fact(out, "Name", info.name);
    if (!info.cardir.empty()) fact(out, "Car folder", info.cardir);
    if (!info.physics.empty()) fact(out, "Physics", info.physics);
    if (!info.shortid.empty()) fact(out, "Short id", info.shortid);
    if (info.year != 0) fact(out, "Year", formatText("%d", info.year));
    out += "</dl>\n</section>\n";
}

void HtmlWriter::replayInfo(const Weekend& weekend) {
    std::string& out = facts_;
    out += "<section>\n<h2>Replay Info</h2>\n<dl>\n";
    fact(out, "Saver", weekend.saverName + " " + weekend.saverVersion);
    out += "</dl>\n</section>\n";
}

void HtmlWriter::eventInfo(const Event& event) {
    std::string& out = facts_;
    out += "<section>\n<h2>Event Info</h2>\n<dl>\n";
    fact(out, "Track", event.track);
    fact(out, "Carset", event.carset);
    out += "</dl>\n</section>\n";
}

void HtmlWriter::entryList(const std::vector<const Entry*>& byNumber) {
    std::string& out = entryList_;
    out += "<section>\n<h2>Entry List</h2>\n";
    openTable(out, "", "<th class=\"n\">No.</th><th>Driver</th><th>Nat.</th><th>Team</th><th>Chassis</th>"
                       "<th>Engine</th><th class=\"n\">Year</th>");
    for (const Entry* entry : byNumber) {
        std::string& row = entryList_;
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
    }
    closeTable(out);
    out += "</section>\n";
}

void HtmlWriter::beginSession(const SessionReport& session) {
    sessionOpen_ = false;
    race_ = session.session->type == SessionType::RACE;
}

std::string& HtmlWriter::sessionOut() { return race_ ? out_.buffer() : later_; }

// Races first: what a reader comes for. Then the other sessions, the entry
// list and the facts of the replay, held back until now (a table a car each
// at most).
void HtmlWriter::endSessions() {
    out_ += later_;
    out_ += entryList_;
    if (!facts_.empty()) {
        out_ += "<div class=\"facts\">\n";
        out_ += facts_;
        out_ += "</div>\n";
    }
    out_.endRow();
}

// A session's section opens with its first table; sessions without one
// (testing) leave no trace, as in the other formats.
void HtmlWriter::openSession(const SessionReport& session) {
    if (sessionOpen_) return;
    appendFormat(sessionOut(), "<section id=\"session-%u\">\n<h2>Session %u (%s)</h2>\n", session.number,
                 session.number, sessionName(*session.session));
    sessionOpen_ = true;
}

void HtmlWriter::endSession(const SessionReport& session) {
    if (!raceRows_.empty()) raceCharts(session, raceRows_);
    raceRows_.clear();
    if (sessionOpen_) sessionOut() += "</section>\n";
    sessionOpen_ = false;
}

void HtmlWriter::bestLaps(std::string_view title, const std::vector<BestLapResult>& rows) {
    std::string& out = sessionOut();
    appendFormat(out, "<h3>%s</h3>\n", title);
    openTable(out, "", "<th class=\"n\">Pos</th><th class=\"n\">No.</th><th>Driver</th><th>Team</th>"
                       "<th class=\"n\">Time</th><th class=\"n\">Gap</th><th class=\"n\">Lap</th>"
                       "<th class=\"n\">Clock</th><th class=\"n\">Valid laps</th><th class=\"n\">Laps</th>"
                       "<th>Remark</th>");
    int pos = 0;
    for (const BestLapResult& r : rows) {
        std::string& row = sessionOut();
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
        if (race_) out_.endRow();
    }
    closeTable(sessionOut());
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
    const SessionTiming& timing = session.session->timing;
    const std::map<std::int32_t, std::uint32_t> start = startingPlaces(timing);
    const std::vector<BestLapResult> best = bestLapResults(timing);
    std::vector<ResultRow> table;
    table.reserve(rows.size());
    bool fastestShown = false;
    for (const RaceResult& r : rows) {
        const Entry& entry = entries_.find(r.carId);
        const std::size_t pos = table.size() + 1;
        ResultRow row;
        row.position = std::to_string(pos);
        row.number = entry.number;
        row.driver = displayName(entry.drivers.find(r.driverId));
        row.team = entry.team;
        row.laps = r.laps;
        row.gap = resultGap(pos == 1, r.retired, r.lapsBehind, r.clock, static_cast<std::uint32_t>(r.gap));
        row.bestLapMs = r.bestLapTime;
        row.fastestLap = !fastestShown && !best.empty() && best.front().carId == r.carId;
        fastestShown = fastestShown || row.fastestLap;
        if (const auto place = start.find(r.carId); place != start.end()) row.start = place->second;
        if (row.start && !r.retired) row.gained = gainedText(std::int64_t(row.start) - std::int64_t(pos));
        table.push_back(std::move(row));
    }
    std::string& out = out_.buffer();
    out += "<h3>Race Results</h3>\n";
    appendResultTable(out, table, false);
    out_.endRow();
    raceRows_ = rows; // for the charts, after the fastest laps
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
    appendHtmlPageEnd(out_.buffer());
}
