#include "standings/standings_writer.h"

#include "document/semikv_document.h"

using semikv::appendFields;

namespace {

class StandingsSemikvWriter final : public StandingsWriter {
public:
    explicit StandingsSemikvWriter(ReportStream& out) : out_(out) {}

    void begin() override { semikv::appendStart(out_.buffer()); }
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override;
    void end() override { out_ += semikv::end; }

private:
    ReportStream& out_;
};

// An empty value where there is none.
std::string optionalNumber(bool present, std::int64_t value) { return present ? std::to_string(value) : std::string(); }

void StandingsSemikvWriter::season(const Standings& standings) {
    std::string& out = out_.buffer();
    out += "table_start;table=Season Info;\n";
    appendFields(out, "name=%s;rounds=%s;\n", standings.season, standings.rounds.size());
    out += "table_end;\n\n";
    out += "table_start;table=Rounds;\n";
    for (const RoundInfo& round : standings.rounds)
        appendFields(out, "round=%s;track=%s;replay=%s;\n", round.number, round.track, round.replay);
    out += "table_end;\n\n";
}

void StandingsSemikvWriter::drivers(const Standings& standings) {
    out_ += "table_start;table=Driver Standings;\n";
    int pos = 0;
    for (const DriverStanding& d : standings.drivers) {
        std::string& out = out_.buffer();
        appendFields(out, "pos=%s;drivername=%s;points=%s;", ++pos, d.driver, d.points);
        for (std::size_t i = 0; i < d.results.size(); ++i) {
            const RoundResult& r = d.results[i];
            const std::uint32_t n = standings.rounds[i].number;
            appendFields(out, "r%d_pos=%s;r%d_points=%s;r%d_status=%s;r%d_dropped=%s;", n,
                         optionalNumber(r.status == RoundStatus::CLASSIFIED, r.position), n, r.points, n,
                         statusName(r.status), n, r.dropped ? "true" : "false");
        }
        out += "\n";
        out_.endRow();
    }
    out_ += "table_end;\n\n";
}

void StandingsSemikvWriter::teams(const Standings& standings) {
    out_ += "table_start;table=Team Standings;\n";
    int pos = 0;
    for (const TeamStanding& t : standings.teams) {
        std::string& out = out_.buffer();
        appendFields(out, "pos=%s;team=%s;points=%s;", ++pos, t.team, t.points);
        for (std::size_t i = 0; i < t.rounds.size(); ++i)
            appendFields(out, "r%d_points=%s;", standings.rounds[i].number,
                         optionalNumber(t.rounds[i].has_value(), t.rounds[i].value_or(0)));
        out += "\n";
        out_.endRow();
    }
    out_ += "table_end;\n\n";
}

} // namespace

std::unique_ptr<StandingsWriter> standingsSemikvWriter(ReportStream& out) {
    return std::make_unique<StandingsSemikvWriter>(out);
}
