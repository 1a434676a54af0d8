#include "standings/standings_writer.h"

#include "document/semikv_document.h"
#include "standings/standings_columns.h"
#include "text/visible_text.h"

using semikv::appendFields;

namespace {

class StandingsSemikvWriter final : public StandingsWriter {
public:
    explicit StandingsSemikvWriter(ReportStream& out) : out_(out) {}

    void begin() override { semikv::appendStart(out_.buffer()); }
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override {
        table("Driver Standings", standings, standings.drivers, driverStandingColumns, driverRoundColumns);
    }
    void teams(const Standings& standings) override {
        table("Team Standings", standings, standings.teams, teamStandingColumns, teamRoundColumns);
    }
    void end() override { out_ += semikv::end; }

private:
    template <class Standing>
    void table(const char* title, const Standings& standings, const std::vector<Standing>& rows,
               Columns<StandingRow<Standing>> columns, Columns<StandingRound<Standing>> roundColumns);

    ReportStream& out_;
};

void StandingsSemikvWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    out += "table_start;table=Season Info;\n";
    // The default name is the season file's, whose bytes may be anything.
    appendFields(out, "name=%s;rounds=%s;\n", wellFormedVisibleText(standings.season), standings.rounds.size());
    out += "table_end;\n\n";
    out += "table_start;table=Rounds;\n";
    for (const RoundInfo& round : standings.rounds)
        appendFields(out, "round=%s;track=%s;replay=%s;\n", round.number, round.track, round.replay);
    out += "table_end;\n\n";
}

template <class Standing>
void StandingsSemikvWriter::table(const char* title, const Standings& standings, const std::vector<Standing>& rows,
                                  Columns<StandingRow<Standing>> columns,
                                  Columns<StandingRound<Standing>> roundColumns) {
    out_ += "table_start;table=";
    out_ += title;
    out_ += ";\n";
    walkStandings(
        standings, rows, [&](const StandingRow<Standing>& row) { appendSemikvFields(out_.buffer(), columns, row); },
        [&](const StandingRound<Standing>& round) {
            const std::uint32_t number = standings.rounds[round.i].number;
            appendSemikvFields(out_.buffer(), roundColumns, round, formatText("r%d_", number));
        },
        [&] {
            out_ += "\n";
            out_.endRow();
        });
    out_ += "table_end;\n\n";
}

} // namespace

std::unique_ptr<StandingsWriter> standingsSemikvWriter(ReportStream& out) {
    return std::make_unique<StandingsSemikvWriter>(out);
}
