#include "standings/standings_writer.h"

#include "document/cells.h"
#include "text/csv_text.h"
#include "text/format.h"

namespace {

class StandingsCsvWriter final : public StandingsWriter {
public:
    StandingsCsvWriter(const StandingsOptions& options, ReportStream& out) : teams_(options.teams), out_(out) {}

    void begin() override { out_ += "\xEF\xBB\xBF"; }
    // The header row names the rounds.
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override;

private:
    // position,name,points of a row.
    std::string& rowStart(int position, const std::string& name, std::int64_t points);

    const bool teams_;
    ReportStream& out_;
};

void StandingsCsvWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    out += teams_ ? "position,team,points" : "position,driver,points";
    for (const RoundInfo& round : standings.rounds) {
        const std::uint32_t n = round.number;
        if (teams_) appendFormat(out, ",r%d_points", n);
        else appendFormat(out, ",r%d_position,r%d_points,r%d_status,r%d_dropped", n, n, n, n);
    }
    out += "\n";
}

std::string& StandingsCsvWriter::rowStart(int position, const std::string& name, std::int64_t points) {
    std::string& out = out_.buffer();
    appendInteger(out, position);
    out += ',';
    appendCsvField(out, name);
    out += ',';
    appendInteger(out, points);
    return out;
}

void StandingsCsvWriter::drivers(const Standings& standings) {
    if (teams_) return;
    int position = 0;
    for (const DriverStanding& d : standings.drivers) {
        std::string& out = rowStart(++position, d.driver, d.points);
        for (const RoundResult& r : d.results) {
            out += ',';
            if (r.status == RoundStatus::CLASSIFIED) appendInteger(out, r.position);
            out += ',';
            appendInteger(out, r.points);
            out += ',';
            out += statusName(r.status);
            out += r.dropped ? ",true" : ",false";
        }
        out += '\n';
        out_.endRow();
    }
}

void StandingsCsvWriter::teams(const Standings& standings) {
    if (!teams_) return;
    int position = 0;
    for (const TeamStanding& t : standings.teams) {
        std::string& out = rowStart(++position, t.team, t.points);
        for (const std::optional<std::int64_t>& points : t.rounds) {
            out += ',';
            if (points) appendInteger(out, *points);
        }
        out += '\n';
        out_.endRow();
    }
}

} // namespace

std::unique_ptr<StandingsWriter> standingsCsvWriter(const StandingsOptions& options, ReportStream& out) {
    return std::make_unique<StandingsCsvWriter>(options, out);
}
