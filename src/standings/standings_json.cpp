#include "standings/standings_writer.h"

#include <utility>

#include "document/cells.h"
#include "document/json_document.h"
#include "standings/standings_columns.h"
#include "text/json_text.h"

namespace {

class StandingsJsonWriter final : public StandingsWriter {
public:
    StandingsJsonWriter(ReportStream& out, RoundFields roundExtra) : out_(out), roundExtra_(std::move(roundExtra)) {}

    void begin() override { appendJsonStart(out_.buffer()); }
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override {
        table("standings", standings, standings.drivers, driverStandingColumns, driverRoundColumns);
    }
    void teams(const Standings& standings) override {
        table("teams", standings, standings.teams, teamStandingColumns, teamRoundColumns);
    }
    void end() override { out_ += "\n}\n"; }

private:
    // "key": [ with one row per line, and the row's opening.
    void beginArray(const char* key);
    std::string& beginRow();
    void endArray();
    template <class Standing>
    void table(const char* key, const Standings& standings, const std::vector<Standing>& rows,
               Columns<StandingRow<Standing>> columns, Columns<StandingRound<Standing>> roundColumns);

    ReportStream& out_;
    RoundFields roundExtra_;
    bool firstRow_ = true;
};

void StandingsJsonWriter::beginArray(const char* key) {
    out_ += ",\n  \"";
    out_ += key;
    out_ += "\": [";
    firstRow_ = true;
}

std::string& StandingsJsonWriter::beginRow() {
    out_ += firstRow_ ? "\n    " : ",\n    ";
    firstRow_ = false;
    return out_.buffer();
}

void StandingsJsonWriter::endArray() { out_ += firstRow_ ? "]" : "\n  ]"; }

template <class Standing>
void StandingsJsonWriter::table(const char* key, const Standings& standings, const std::vector<Standing>& rows,
                                Columns<StandingRow<Standing>> columns,
                                Columns<StandingRound<Standing>> roundColumns) {
    beginArray(key);
    walkStandings(
        standings, rows,
        [&](const StandingRow<Standing>& row) {
            std::string& out = beginRow();
            out += '{';
            appendJsonFields(out, columns, row);
            out += ", \"results\": [";
        },
        [&](const StandingRound<Standing>& round) {
            out_ += round.i == 0 ? "{" : ", {";
            appendJsonFields(out_.buffer(), roundColumns, round);
            out_ += "}";
        },
        [&] {
            out_ += "]}";
            out_.endRow();
        });
    endArray();
}

void StandingsJsonWriter::season(const Standings& standings) {
    out_ += ",\n  \"season\": ";
    appendJsonString(out_.buffer(), standings.season);
    beginArray("rounds");
    for (std::size_t i = 0; i < standings.rounds.size(); ++i) {
        const RoundInfo& round = standings.rounds[i];
        std::string& out = beginRow();
        out += "{\"round\": ";
        appendInteger(out, round.number);
        out += ", \"replay\": ";
        appendJsonString(out, round.replay);
        out += ", \"track\": ";
        appendJsonString(out, round.track);
        if (roundExtra_) roundExtra_(out, i);
        out += "}";
        out_.endRow();
    }
    endArray();
}

} // namespace

std::unique_ptr<StandingsWriter> standingsJsonWriter(ReportStream& out, RoundFields roundExtra) {
    return std::make_unique<StandingsJsonWriter>(out, std::move(roundExtra));
}
