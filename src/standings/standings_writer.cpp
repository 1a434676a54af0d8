#include "standings/standings_writer.h"

std::unique_ptr<StandingsWriter> makeStandingsWriter(const StandingsOptions& options, ReportStream& out) {
    switch (options.format) {
    case ReportFormat::SEMIKV: return standingsSemikvWriter(out);
    case ReportFormat::JSON: return standingsJsonWriter(out);
    case ReportFormat::CSV: return standingsCsvWriter(options, out);
    case ReportFormat::HTML: return standingsHtmlWriter(out);
    case ReportFormat::TEXT: break;
    }
    return standingsTextWriter(out);
}

void writeStandings(const Standings& standings, const StandingsOptions& options, ReportSink& sink) {
    ReportStream out(sink);
    writeStandings(*makeStandingsWriter(options, out), standings);
    out.flush();
}

void writeStandings(StandingsWriter& writer, const Standings& standings) {
    writer.begin();
    writer.season(standings);
    writer.drivers(standings);
    writer.teams(standings);
    writer.end();
}
