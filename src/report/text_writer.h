// The plain-text report: aligned tables, columns padded by grapheme clusters
// and never cut.
#pragma once

#include "report/report.h"

class TextWriter final : public ReportWriter {
public:
    TextWriter(const EntryIndex& entries, ReportStream& out) : entries_(entries), out_(out) {}

    void carset(const CarsetInfo& info) override;
    void replayInfo(const Weekend& weekend) override;
    void eventInfo(const Event& event) override;
    void entryList(const std::vector<const Entry*>& byNumber) override;
    void beginSessions() override;
    void practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) override;
    void fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void lapListings(const std::vector<SessionReport>& sessions) override;

private:
    void bestLaps(std::string_view title, const std::vector<BestLapResult>& rows);

    const EntryIndex& entries_;
    ReportStream& out_;
};
