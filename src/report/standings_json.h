// The standings as one JSON document (docs/season.schema.json), a row per
// line so that it streams.
#pragma once

#include "report/standings.h"

class StandingsJsonWriter final : public StandingsWriter {
public:
    explicit StandingsJsonWriter(ReportStream& out) : out_(out) {}

    void begin() override;
    void season(const Standings& standings) override;
    void drivers(const Standings& standings) override;
    void teams(const Standings& standings) override;
    void end() override;

private:
    ReportStream& out_;
};
