// The JSON report (docs/report.schema.json): one document holding the text
// report's sections as objects and arrays, with every time also as a number
// of milliseconds. Rows sit on one line each, so the document streams.
#pragma once

#include <string>

#include "document/columns.h"
#include "report/report.h"

class JsonWriter final : public ReportWriter {
public:
    JsonWriter(const EntryIndex& entries, const ReportOptions& options, ReportStream& out)
        : entries_(entries), laps_(options.laps), out_(out) {}

    void begin(const Weekend& weekend) override;
    void carset(const CarsetInfo& info) override;
    void noCarset() override;
    void replayInfo(const Weekend& weekend) override;
    void eventInfo(const Event& event) override;
    void entryList(const std::vector<const Entry*>& byNumber) override;
    void beginSessions() override;
    void beginSession(const SessionReport& session) override;
    void practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) override;
    void fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) override;
    void endSession(const SessionReport& session) override;
    void endSessions() override;
    // The laps are written into each session's object.
    void lapListings(const std::vector<SessionReport>&) override {}
    void end() override;

private:
    // "key": [ ... ] of a session, one row per line.
    void beginTable(const char* key);
    void beginRow();
    void endTable();
    template <class Row>
    void writeRow(Columns<Row> columns, const Row& row);
    void sessionLaps(const SessionReport& session);

    const EntryIndex& entries_;
    const bool laps_;
    ReportStream& out_;
    bool firstSession_ = true;
    bool firstRow_ = true;
};
