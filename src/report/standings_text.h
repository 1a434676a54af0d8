// The standings as aligned text tables, laid out like the report's.
#pragma once

#include "report/standings.h"

class StandingsTextWriter final : public StandingsWriter {
public:
    explicit StandingsTextWriter(ReportStream& out) : out_(out) {}

    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override;

private:
    void roundHeadings(const Standings& standings);

    ReportStream& out_;
};
