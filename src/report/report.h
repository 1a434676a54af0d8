// The race-weekend report: its switches, the order of its sections, and the
// interface through which each output format writes them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "document/output_format.h"
#include "document/report_stream.h"
#include "weekend/weekend.h"

struct ReportOptions {
    ReportFormat format = ReportFormat::TEXT;
    bool replayInfo = true;
    bool eventInfo = true;
    bool entryList = true;
    bool practiceResults = true;
    bool raceResults = true;
    bool laps = false; // every crossing of every car
};

// One session as the writers see it.
struct SessionReport {
    std::size_t number = 0; // from 1, over every session of the weekend
    const Session* session = nullptr;
};

// One call per section, in the order writeReport makes them. Writers own
// their layout: the results page holds some sections back to put the races
// first.
class ReportWriter {
public:
    virtual ~ReportWriter() = default;

    virtual void begin(const Weekend&) {}
    virtual void carset(const CarsetInfo& info) = 0;
    // Instead of carset when none is loaded.
    virtual void noCarset() {}
    virtual void replayInfo(const Weekend& weekend) = 0;
    virtual void eventInfo(const Event& event) = 0;
    virtual void entryList(const std::vector<const Entry*>& byNumber) = 0;
    // Around every session, whatever its type and tables.
    virtual void beginSessions() {}
    virtual void beginSession(const SessionReport&) {}
    virtual void practiceResults(const SessionReport& session, const std::vector<BestLapResult>& rows) = 0;
    virtual void raceResults(const SessionReport& session, const std::vector<RaceResult>& rows) = 0;
    virtual void fastestLaps(const SessionReport& session, const std::vector<BestLapResult>& rows) = 0;
    virtual void endSession(const SessionReport&) {}
    virtual void endSessions() {}
    // Only with the laps switch on.
    virtual void lapListings(const std::vector<SessionReport>& sessions) = 0;
    virtual void end() {}
};

// A writer of the format, writing to out. Entries are looked up in the
// index, which must outlive the writer.
std::unique_ptr<ReportWriter> makeWriter(const ReportOptions& options, const EntryIndex& entries, ReportStream& out);

// Writes the weekend's report to the sink.
void writeReport(const Weekend& weekend, const ReportOptions& options, ReportSink& sink);
