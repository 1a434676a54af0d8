#include "standings/standings_writer.h"

#include <algorithm>

#include "page/html_page.h"
#include "standings/standings_rows.h"
#include "text/format.h"

using html::cell;
using html::closeTable;
using html::numberCell;
using html::openTable;

namespace {

class StandingsHtmlWriter final : public StandingsWriter {
public:
    explicit StandingsHtmlWriter(ReportStream& out) : out_(out) {}

    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override {
        table("Teams' Standings", "Team", standings, teamRows(standings));
        out_ += "</section>\n";
    }
    void end() override { appendHtmlPageEnd(out_.buffer()); }

private:
    // Opens the table's section; the caller closes it.
    void table(std::string_view title, std::string_view heading, const Standings& standings,
               const std::vector<StandingsRow>& rows);

    ReportStream& out_;
};

// Each driver's points after every round, as the final standings count
// them: a dropped round adds nothing, so each line ends at the total.
LineChart progressionChart(const Standings& standings) {
    LineChart chart;
    chart.id = "points-progression";
    chart.title = "Points progression";
    chart.description = "Each driver's points after every round, counting the rounds that count in the final "
                        "standings (a dropped round adds nothing); each line carries the driver's name at its end. "
                        "The same figures are in the drivers' standings.";
    chart.xTitle = "Round";
    chart.yTitle = "Points";
    chart.labelStart = false;
    const std::int64_t first = standings.rounds.empty() ? 0 : standings.rounds.front().number;
    const std::int64_t last = standings.rounds.empty() ? 1 : standings.rounds.back().number;
    chart.x = niceScale(first, std::max(last, first + 1), 1, 12, false);
    std::int64_t low = 0;
    std::int64_t high = 1;
    for (const DriverStanding& d : standings.drivers) {
        ChartSeries s{d.driver, {}, ""};
        std::int64_t points = 0;
        for (std::size_t i = 0; i < standings.rounds.size(); ++i) {
            const RoundResult r = d.in(i);
            if (!r.dropped) points += r.points;
            s.points.push_back(ChartPoint{standings.rounds[i].number, points});
            low = std::min(low, points);
            high = std::max(high, points);
        }
        chart.series.push_back(std::move(s));
    }
    chart.y = niceScale(low, high, 1, 8, true);
    return chart;
}

void StandingsHtmlWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    appendHtmlPageStart(out, standings.season,
                        formatText("Championship standings after %u %s", standings.rounds.size(),
                                   standings.rounds.size() == 1 ? "round" : "rounds"));
    out += "<section>\n<h2>Rounds</h2>\n";
    openTable(out, "", "<th class=\"n\">Round</th><th>Track</th><th>Replay</th>");
    for (const RoundInfo& round : standings.rounds) {
        out += "<tr>";
        numberCell(out, round.number);
        cell(out, round.track);
        cell(out, round.replay);
        out += "</tr>\n";
    }
    closeTable(out);
    out += "</section>\n";
}

void StandingsHtmlWriter::table(std::string_view title, std::string_view heading, const Standings& standings,
                                const std::vector<StandingsRow>& rows) {
    std::string& out = out_.buffer();
    out += "<section>\n<h2>";
    out += title;
    out += "</h2>\n";
    std::string header = formatText("<th class=\"n\">Pos</th><th>%s</th><th class=\"n\">Points</th>", heading);
    for (const RoundInfo& round : standings.rounds) appendFormat(header, "<th class=\"n\">%s</th>", roundHeading(round));
    openTable(out, "", header);
    int pos = 0;
    for (const StandingsRow& row : rows) {
        std::string& line = out_.buffer();
        line += "<tr>";
        numberCell(line, ++pos);
        cell(line, row.name);
        numberCell(line, row.points);
        // Cells are ours: digits, "/", brackets, "DNF", "DSQ", "-".
        for (const std::string& c : row.cells) numberCell(line, c);
        line += "</tr>\n";
        out_.endRow();
    }
    closeTable(out_.buffer());
}

void StandingsHtmlWriter::drivers(const Standings& standings) {
    table("Drivers' Standings", "Driver", standings, driverRows(standings));
    out_ += "<p>Each round: the classified position and the points scored; DNF: not classified; DSQ: "
            "disqualified; -: absent; a dropped round in brackets.</p>\n";
    ChartFrame frame;
    frame.right = 170; // the drivers' names at the lines' ends
    appendLineChart(out_.buffer(), progressionChart(standings), frame,
                    "Points progression: each driver's points after every round.");
    out_ += "</section>\n";
}

} // namespace

std::unique_ptr<StandingsWriter> standingsHtmlWriter(ReportStream& out) {
    return std::make_unique<StandingsHtmlWriter>(out);
}
