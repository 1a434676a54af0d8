// The CSV report (RFC 4180, UTF-8 with a byte-order mark for spreadsheets):
// one table per document. Without the laps switch one row per car of every
// result table; with it one row per crossing instead.
#pragma once

#include "report/report.h"

class CsvWriter final : public ReportWriter {
public:
    CsvWriter(const EntryIndex& entries, const ReportOptions& options, ReportStream& out)
        : entries_(entries), laps_(options.laps), out_(out) {}

    void begin(const Weekend& weekend) override;
    // Neither the weekend's facts nor the entry list have rows here.
    void carset(const CarsetInfo&) override {}
    void replayInfo(const Weekend&) override {}
    void eventInfo(const Event&) override {}
    void entryList(const std::vector<const Entry*>&) override {}
    void practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) override;
    void fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void lapListings(const std::vector<SessionReport>& sessions) override;

private:
    // session,session_type,table, of a result row.
    std::string& rowStart(const SessionReport& session, const char* table);
    void bestLaps(const SessionReport& session, const char* table, const std::vector<BestLapResult>& rows,
                  int position);

    const EntryIndex& entries_;
    const bool laps_;
    ReportStream& out_;
};
