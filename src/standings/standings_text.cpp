#include "standings/standings_writer.h"

#include "standings/standings_rows.h"
#include "text/format.h"
#include "text/visible_text.h"

namespace {

class StandingsTextWriter final : public StandingsWriter {
public:
    explicit StandingsTextWriter(ReportStream& out) : out_(out) {}

    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override {
        table("Drivers' Standings", "Driver", 23, standings, standings.drivers, driverRow);
    }
    void teams(const Standings& standings) override {
        table("Teams' Standings", "Team", 30, standings, standings.teams, teamRow);
    }

private:
    // Each row made when it is written.
    template <class Standing>
    void table(std::string_view title, std::string_view heading, int nameWidth, const Standings& standings,
               const std::vector<Standing>& standing, StandingsRow (*rowOf)(const Standings&, const Standing&));

    ReportStream& out_;
};

void StandingsTextWriter::season(const Standings& standings) {
    out_ += "Season Info\n";
    // The default name is the season file's, whose bytes may be anything.
    appendFormat(out_.buffer(), "name      : %s\n", wellFormedVisibleText(standings.season));
    appendFormat(out_.buffer(), "rounds    : %s\n\n", standings.rounds.size());
    out_ += "Round Track            Replay\n";
    for (const RoundInfo& round : standings.rounds)
        appendFormat(out_.buffer(), "%5s %-16s %s\n", round.number, visibleText(round.track), visibleText(round.replay));
    out_ += "\n";
}

template <class Standing>
void StandingsTextWriter::table(std::string_view title, std::string_view heading, int nameWidth,
                                const Standings& standings, const std::vector<Standing>& standing,
                                StandingsRow (*rowOf)(const Standings&, const Standing&)) {
    out_ += title;
    out_ += "\n\n";
    appendFormat(out_.buffer(), "Pos %-*s %6s", nameWidth, heading, "Points");
    for (const RoundInfo& round : standings.rounds) appendFormat(out_.buffer(), " %7s", roundHeading(round));
    out_ += "\n";
    int pos = 0;
    for (const Standing& s : standing) {
        const StandingsRow row = rowOf(standings, s);
        appendFormat(out_.buffer(), "%2d. %-*s %6s", ++pos, nameWidth, visibleText(row.name), row.points);
        for (const std::string& cell : row.cells) appendFormat(out_.buffer(), " %7s", cell);
        out_ += "\n";
        out_.endRow();
    }
    out_ += "\n";
}

} // namespace

std::unique_ptr<StandingsWriter> standingsTextWriter(ReportStream& out) {
    return std::make_unique<StandingsTextWriter>(out);
}
