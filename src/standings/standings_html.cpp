#include "standings/standings_writer.h"

#include <algorithm>
#include <set>

#include "document/cells.h"
#include "page/html_page.h"
#include "standings/standings_rows.h"
#include "text/format.h"
#include "text/html_text.h"

using html::cell;
using html::closeTable;
using html::numberCell;
using html::openTable;

// Round cells with podium colours and marks; on a phone the position and
// the name stay put while the rounds scroll in the table's box, and the
// chart keeps its drawn size (its text 11 px or more) and scrolls in its.
const std::string_view standingsPageStyle =
    R"css(.standings td.rc,.standings th.rc{text-align:center;padding-left:6px;padding-right:6px}
.rc small{font-size:.8em;color:var(--muted)}
.rc sup{font-size:.7em;font-weight:600;margin-left:2px}
.rc.p1{background:#f6e7a6;color:#1b1d21}.rc.p2{background:#e2e5ea;color:#1b1d21}.rc.p3{background:#efd2b8;color:#1b1d21}
.rc.p1,.rc.p2,.rc.p3{font-weight:700}.rc.p1 small,.rc.p2 small,.rc.p3 small{color:#4a4f57}
.rc.dnf,.rc.dsq{font-weight:600}.rc.dsq{color:#b3261e}.rc.abs{color:var(--muted)}
.rc.drop small{text-decoration:line-through}
.legend span{display:inline-block;padding:0 6px;margin-right:4px}
.standings td:nth-child(-n+2),.standings th:nth-child(-n+2){position:sticky;background:var(--bg);z-index:1}
.standings tbody tr:nth-child(even) td:nth-child(-n+2){background:var(--stripe)}
.standings td:first-child,.standings th:first-child{left:0;min-width:4em;max-width:4em}
.standings td:nth-child(2),.standings th:nth-child(2){left:4em}
.season-chart svg{min-width:960px}
@media print{.standings td,.standings th{position:static}.season-chart svg{min-width:0}}
)css";

namespace {

// The most points a line of the chart keeps: one per two pixels of its
// plot at the drawn size.
constexpr std::size_t chartColumns = 359;

class StandingsHtmlWriter final : public StandingsWriter {
public:
    StandingsHtmlWriter(ReportStream& out, bool roundPages) : out_(out), roundPages_(roundPages) {}

    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override;
    void end() override { appendHtmlPageEnd(out_.buffer()); }

private:
    // Opens the table's section and writes its header; the caller writes
    // the rows and closes both.
    void openStandings(std::string_view title, std::string_view heading, const Standings& standings);

    ReportStream& out_;
    bool roundPages_;
};

// A short label per round for a column heading: the first three letters
// of its track, with the round's number when another round took them.
std::vector<std::string> roundLabels(const Standings& standings) {
    std::vector<std::string> labels;
    labels.reserve(standings.rounds.size());
    std::set<std::string> taken;
    for (const RoundInfo& round : standings.rounds) {
        std::string label;
        for (const char c : round.track) {
            if (label.size() == 3) break;
            if (c >= 'a' && c <= 'z') label += static_cast<char>(c - 'a' + 'A');
            else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) label += c;
        }
        if (label.empty()) label = "R";
        if (!taken.insert(label).second) label += std::to_string(round.number);
        labels.push_back(std::move(label));
    }
    return labels;
}

// The rounds the chart draws: all of them, or, when they are more than its
// width can show, the last of each stretch that shares a column.
// The start of a standings row: position, name and points, the round cells
// after them.
void openStandingsRow(std::string& line, int pos, std::string_view name, std::int64_t points) {
    line += "<tr>";
    numberCell(line, pos);
    cell(line, name);
    numberCell(line, points);
}

std::vector<std::size_t> chartRounds(std::size_t rounds) {
    std::vector<std::size_t> picked;
    for (std::size_t i = 0; i < rounds; ++i)
        if (rounds <= chartColumns || i == 0 || i + 1 == rounds ||
            (i + 1) * chartColumns / rounds != i * chartColumns / rounds)
            picked.push_back(i);
    return picked;
}

// Each driver's points after every round as the standings stood then,
// built a line at a time and without the middles of level runs (which
// draw nothing): a season of many rounds and drivers stays small.
LineChart progressionChart(const Standings& standings) {
    LineChart chart;
    chart.id = "points-progression";
    chart.title = "Points progression";
    chart.description = "Each driver's points after every round as the standings stood after it: the drop rule "
                        "applied to the rounds held by then; each line carries the driver's name at its end. "
                        "The final figures are in the drivers' standings.";
    chart.xTitle = "Round";
    chart.yTitle = "Points";
    chart.labelStart = false;
    const std::int64_t first = standings.rounds.empty() ? 0 : standings.rounds.front().number;
    const std::int64_t last = standings.rounds.empty() ? 1 : standings.rounds.back().number;
    chart.x = niceScale(first, std::max(last, first + 1), 1, 12, false);
    const std::vector<std::size_t> rounds = chartRounds(standings.rounds.size());
    std::int64_t low = 0;
    std::int64_t high = 1;
    chart.series.reserve(standings.drivers.size());
    for (const DriverStanding& d : standings.drivers) {
        const std::vector<std::int64_t> totals = pointsAfterEachRound(standings, d);
        ChartSeries s{d.driver, {}, ""};
        for (const std::size_t i : rounds) {
            const ChartPoint p{standings.rounds[i].number, totals[i]};
            const std::size_t n = s.points.size();
            if (n >= 2 && s.points[n - 2].y == p.y && s.points[n - 1].y == p.y) s.points.back() = p;
            else s.points.push_back(p);
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
        s.points.shrink_to_fit();
        chart.series.push_back(std::move(s));
    }
    chart.y = niceScale(low, high, 1, 8, true);
    return chart;
}

void StandingsHtmlWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    appendHtmlPageStart(out, standings.season,
                        formatText("Championship standings after %u %s", standings.rounds.size(),
                                   standings.rounds.size() == 1 ? "round" : "rounds"),
                        standingsPageStyle);
    out += "<section>\n<h2>Rounds</h2>\n";
    openTable(out, "", "<th class=\"n\">Round</th><th>Track</th><th>Replay</th>");
    for (const RoundInfo& round : standings.rounds) {
        out += "<tr>";
        numberCell(out, round.number);
        cell(out, round.track);
        cell(out, round.replay);
        out += "</tr>\n";
        out_.endRow();
    }
    closeTable(out_.buffer());
    out_ += "</section>\n";
}

void StandingsHtmlWriter::openStandings(std::string_view title, std::string_view heading,
                                        const Standings& standings) {
    out_ += "<section>\n<h2>";
    out_ += title;
    out_ += "</h2>\n";
    std::string header = formatText("<th class=\"n\">Pos</th><th>%s</th><th class=\"n\">Points</th>", heading);
    const std::vector<std::string> labels = roundLabels(standings);
    for (std::size_t i = 0; i < standings.rounds.size(); ++i) {
        const RoundInfo& round = standings.rounds[i];
        header += "<th class=\"rc\">";
        if (roundPages_) appendFormat(header, "<a href=\"round-%d.html\">", round.number);
        appendFormat(header, "<abbr title=\"Round %d: ", round.number);
        appendHtmlText(header, round.name.empty() ? round.track : round.name);
        header += "\">";
        appendHtmlText(header, labels[i]);
        header += roundPages_ ? "</abbr></a></th>" : "</abbr></th>";
    }
    openTable(out_.buffer(), "standings", header);
}

void StandingsHtmlWriter::drivers(const Standings& standings) {
    openStandings("Drivers' Standings", "Driver", standings);
    int pos = 0;
    for (const DriverStanding& d : standings.drivers) {
        std::string& line = out_.buffer();
        openStandingsRow(line, ++pos, d.driver, d.points);
        for (std::size_t i = 0; i < standings.rounds.size(); ++i) {
            const RoundResult r = d.in(i);
            const bool absent = r.status == RoundStatus::ABSENT;
            appendStandingsHtmlCell(line, r, absent ? std::string_view() : roundPenalty(standings, i, d.driver));
        }
        line += "</tr>\n";
        out_.endRow();
    }
    closeTable(out_.buffer());
    out_ += "<p class=\"legend\">Each round: the classified position, then the points in small type. "
            "<span class=\"rc p1\">1</span><span class=\"rc p2\">2</span><span class=\"rc p3\">3</span> podium; "
            "DNF: not classified; DSQ: disqualified; \xE2\x80\x93: absent; "
            "<span class=\"rc drop\">4 <small>(3)</small></span> a dropped round's points, in brackets and struck "
            "through; FL: fastest-lap bonus; pen: a penalty, bon: a bonus (its title says which).</p>\n";
    ChartFrame frame;
    frame.right = 170; // the drivers' names at the lines' ends
    out_ += "<div class=\"season-chart\">\n";
    appendLineChart(out_.buffer(), progressionChart(standings), frame,
                    "Points progression: each driver's points after every round, as the standings stood then.");
    out_ += "</div>\n</section>\n";
    out_.endRow();
}

void StandingsHtmlWriter::teams(const Standings& standings) {
    openStandings("Teams' Standings", "Team", standings);
    int pos = 0;
    for (const TeamStanding& t : standings.teams) {
        std::string& line = out_.buffer();
        openStandingsRow(line, ++pos, t.team, t.points);
        for (std::size_t i = 0; i < standings.rounds.size(); ++i) {
            const std::optional<std::int64_t> points = t.in(i);
            if (points) {
                line += "<td class=\"rc\">";
                appendInteger(line, *points);
                line += "</td>";
            } else {
                line += "<td class=\"rc abs\">\xE2\x80\x93</td>";
            }
        }
        line += "</tr>\n";
        out_.endRow();
    }
    closeTable(out_.buffer());
    out_ += "</section>\n";
}

} // namespace

std::unique_ptr<StandingsWriter> standingsHtmlWriter(ReportStream& out, bool roundPages) {
    return std::make_unique<StandingsHtmlWriter>(out, roundPages);
}
