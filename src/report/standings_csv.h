// The standings as CSV (RFC 4180, UTF-8 with a byte-order mark), one table
// per document: the drivers', or the teams' when the options say so.
#pragma once

#include "report/standings.h"

class StandingsCsvWriter final : public StandingsWriter {
public:
    StandingsCsvWriter(const StandingsOptions& options, ReportStream& out) : teams_(options.teams), out_(out) {}

    void begin() override;
    // The header row names the rounds.
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override;

private:
    const bool teams_;
    ReportStream& out_;
};
