// The results page: the report's sections as one self-contained HTML5
// document, with a lap chart and a gap chart for every race.
#pragma once

#include <string>
#include <string_view>

#include "report/report.h"

class HtmlWriter final : public ReportWriter {
public:
    HtmlWriter(const ReportOptions& options, const EntryIndex& entries, ReportStream& out)
        : options_(options), entries_(entries), out_(out) {}

    void begin(const Weekend& weekend) override;
    void carset(const CarsetInfo& info) override;
    void replayInfo(const Weekend& weekend) override;
    void eventInfo(const Event& event) override;
    void entryList(const std::vector<const Entry*>& byNumber) override;
    void beginSession(const SessionReport& session) override;
    void practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) override;
    void fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void endSession(const SessionReport& session) override;
    void lapListings(const std::vector<SessionReport>& sessions) override;
    void end() override;

private:
    void openFacts();
    void closeFacts();
    void openSession(const SessionReport& session);
    void bestLaps(std::string_view title, const std::vector<BestLapResult>& rows);
    void raceCharts(const SessionReport& session, const std::vector<RaceResult>& rows);

    const ReportOptions& options_;
    const EntryIndex& entries_;
    ReportStream& out_;
    bool factsOpen_ = false;
    bool sessionOpen_ = false;
};
