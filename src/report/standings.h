// The season standings as a document: the order of its sections, the
// interface through which each format writes them, and the cells that the
// formats share.
#pragma once

#include <memory>
#include <string>

#include "report/report.h"
#include "report/report_stream.h"
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

void writeStandings(const Standings& standings, const StandingsOptions& options, ReportSink& sink);

// A round's cell of the drivers' table: "3/4" (position/points), "DNF" or
// "DSQ" (with "/points" when they are not 0), "-" when absent; a dropped
// round in brackets, "[3/4]".
std::string standingsCell(const RoundResult& result);
// "R" and the round's number.
std::string roundHeading(const RoundInfo& round);
