#include "report/standings.h"

#include "report/standings_csv.h"
#include "report/standings_json.h"
#include "report/standings_semikv.h"
#include "report/standings_text.h"
#include "text/format.h"

std::unique_ptr<StandingsWriter> makeStandingsWriter(const StandingsOptions& options, ReportStream& out) {
    switch (options.format) {
    case ReportFormat::SEMIKV: return std::make_unique<StandingsSemikvWriter>(out);
    case ReportFormat::JSON: return std::make_unique<StandingsJsonWriter>(out);
    case ReportFormat::CSV: return std::make_unique<StandingsCsvWriter>(options, out);
    case ReportFormat::TEXT: break;
    }
    return std::make_unique<StandingsTextWriter>(out);
}

void writeStandings(const Standings& standings, const StandingsOptions& options, ReportSink& sink) {
    ReportStream out(sink);
    const std::unique_ptr<StandingsWriter> writer = makeStandingsWriter(options, out);
    writer->begin();
    writer->season(standings);
    writer->drivers(standings);
    writer->teams(standings);
    writer->end();
    out.flush();
}

std::string standingsCell(const RoundResult& result) {
    std::string cell;
    switch (result.status) {
    case RoundStatus::ABSENT: cell = "-"; break;
    case RoundStatus::CLASSIFIED: cell = formatText("%d/%d", result.position, result.points); break;
    case RoundStatus::NOT_CLASSIFIED:
    case RoundStatus::DISQUALIFIED:
        cell = result.status == RoundStatus::DISQUALIFIED ? "DSQ" : "DNF";
        if (result.points != 0) appendFormat(cell, "/%d", result.points);
        break;
    }
    return result.dropped ? "[" + cell + "]" : cell;
}

std::string roundHeading(const RoundInfo& round) { return formatText("R%d", round.number); }
