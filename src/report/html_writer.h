// The results page: the report's sections as one self-contained HTML5
// document, with a lap chart and a gap chart for every race. The races come
// first, then the other sessions, the entry list and the replay's facts.
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
    void endSessions() override;
    void lapListings(const std::vector<SessionReport>& sessions) override;
    void end() override;

private:
    // Where the current session goes: races straight out, the others later.
    std::string& sessionOut();
    void openSession(const SessionReport& session);
    void bestLaps(std::string_view title, const std::vector<BestLapResult>& rows);
    void raceCharts(const SessionReport& session, const std::vector<RaceResult>& rows);

    const ReportOptions& options_;
    const EntryIndex& entries_;
    ReportStream& out_;
    bool sessionOpen_ = false;
    bool race_ = false;
    std::string facts_;     // carset, replay and event facts
    std::string entryList_;
    std::string later_;     // sessions other than races
    std::vector<RaceResult> raceRows_; // the race's classification, until its charts
};
