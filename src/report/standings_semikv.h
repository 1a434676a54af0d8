// The standings in semikv: one table per section, a row per driver or team
// with fields per round ("r3_pos", "r3_points", ...).
#pragma once

#include "report/standings.h"

class StandingsSemikvWriter final : public StandingsWriter {
public:
    explicit StandingsSemikvWriter(ReportStream& out) : out_(out) {}

    void begin() override;
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override;
    void end() override;

private:
    ReportStream& out_;
};
