// The season standings as a document: the order of its sections and the
// interface through which each format writes them.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "document/output_format.h"
#include "document/report_stream.h"
#include "season/standings.h"

struct StandingsOptions {
    ReportFormat format = ReportFormat::TEXT;
    // The formats that hold one table only (CSV) hold the teams' table.
    bool teams = false;
};

// One call per section, in the order writeStandings makes them.
class StandingsWriter {
public:
    virtual ~StandingsWriter() = default;

    virtual void begin() {}
    // The season's name and its rounds.
    virtual void season(const Standings& standings) = 0;
    virtual void drivers(const Standings& standings) = 0;
    virtual void teams(const Standings& standings) = 0;
    virtual void end() {}
};

std::unique_ptr<StandingsWriter> makeStandingsWriter(const StandingsOptions& options, ReportStream& out);

// The writer of each format, one source file each (standings_<format>.cpp):
// text laid out like the report's tables; semikv with one table per section
// and fields per round ("r3_pos", ...); one JSON document
// (docs/season.schema.json); CSV (RFC 4180, UTF-8 with a byte-order mark)
// with one table, the drivers' or, with options.teams, the teams'; a web
// page with both tables and the drivers' points after every round as a
// chart.
std::unique_ptr<StandingsWriter> standingsTextWriter(ReportStream& out);
std::unique_ptr<StandingsWriter> standingsSemikvWriter(ReportStream& out);
// roundExtra, when given, adds fields to each round's object after its own.
using RoundFields = std::function<void(std::string& out, std::size_t round)>;
std::unique_ptr<StandingsWriter> standingsJsonWriter(ReportStream& out, RoundFields roundExtra = {});
std::unique_ptr<StandingsWriter> standingsCsvWriter(const StandingsOptions& options, ReportStream& out);
// roundPages: the round headings link to round-N.html, as on a league site.
std::unique_ptr<StandingsWriter> standingsHtmlWriter(ReportStream& out, bool roundPages = false);
// The page style the standings tables and chart need; a page that holds
// them adds it to its own.
extern const std::string_view standingsPageStyle;

void writeStandings(const Standings& standings, const StandingsOptions& options, ReportSink& sink);
// Every section of the standings through the given writer.
void writeStandings(StandingsWriter& writer, const Standings& standings);
