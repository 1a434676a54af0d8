// The semikv report: tables of "key=value;" lines for scripts, escaped as
// document/semikv_document.h says.
#pragma once

#include <string_view>

#include "document/columns.h"
#include "report/report.h"

class SemikvWriter final : public ReportWriter {
public:
    SemikvWriter(const EntryIndex& entries, ReportStream& out) : entries_(entries), out_(out) {}

    void begin(const Weekend& weekend) override;
    void carset(const CarsetInfo& info) override;
    void replayInfo(const Weekend& weekend) override;
    void eventInfo(const Event& event) override;
    void entryList(const std::vector<const Entry*>& byNumber) override;
    void practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) override;
    void fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void lapListings(const std::vector<SessionReport>& sessions) override;
    void end() override;

private:
    template <class Row, class Result>
    void table(std::string_view title, Columns<Row> columns, const std::vector<Result>& rows);

    const EntryIndex& entries_;
    ReportStream& out_;
};
