#include "standings/standings_writer.h"

#include "document/csv_document.h"
#include "standings/standings_columns.h"
#include "text/format.h"

namespace {

class StandingsCsvWriter final : public StandingsWriter {
public:
    StandingsCsvWriter(const StandingsOptions& options, ReportStream& out) : teams_(options.teams), out_(out) {}

    void begin() override { out_ += csvStart; }
    // The header row names the rounds.
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override {
        if (!teams_) table(standings, standings.drivers, driverStandingColumns, driverRoundColumns);
    }
    void teams(const Standings& standings) override {
        if (teams_) table(standings, standings.teams, teamStandingColumns, teamRoundColumns);
    }

private:
    template <class Standing>
    void table(const Standings& standings, const std::vector<Standing>& rows, Columns<StandingRow<Standing>> columns,
               Columns<StandingRound<Standing>> roundColumns);

    const bool teams_;
    ReportStream& out_;
};

// The round's columns after "r<number>_".
std::string roundPrefix(const RoundInfo& round) { return formatText("r%d_", round.number); }

void StandingsCsvWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    const std::size_t start = out.size();
    if (teams_) appendCsvHeaders(out, teamStandingColumns);
    else appendCsvHeaders(out, driverStandingColumns);
    for (const RoundInfo& round : standings.rounds) {
        if (teams_) appendCsvHeaders(out, teamRoundColumns, roundPrefix(round));
        else appendCsvHeaders(out, driverRoundColumns, roundPrefix(round));
    }
    out.erase(start, 1); // the comma before the first
    out += "\n";
}

template <class Standing>
void StandingsCsvWriter::table(const Standings& standings, const std::vector<Standing>& rows,
                               Columns<StandingRow<Standing>> columns, Columns<StandingRound<Standing>> roundColumns) {
    std::size_t start = 0;
    walkStandings(
        standings, rows,
        [&](const StandingRow<Standing>& row) {
            start = out_.buffer().size();
            appendCsvCells(out_.buffer(), columns, row);
        },
        [&](const StandingRound<Standing>& round) { appendCsvCells(out_.buffer(), roundColumns, round); },
        [&] {
            out_.buffer().erase(start, 1); // the comma before the first
            out_ += "\n";
            out_.endRow();
        });
}

} // namespace

std::unique_ptr<StandingsWriter> standingsCsvWriter(const StandingsOptions& options, ReportStream& out) {
    return std::make_unique<StandingsCsvWriter>(options, out);
}
