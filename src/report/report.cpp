#include "report/report.h"

#include "report/csv_writer.h"
#include "report/html_writer.h"
#include "report/json_writer.h"
#include "document/cells.h"
#include "report/semikv_writer.h"
#include "report/text_writer.h"

std::unique_ptr<ReportWriter> makeWriter(const ReportOptions& options, const EntryIndex& entries, ReportStream& out) {
    switch (options.format) {
    case ReportFormat::SEMIKV: return std::make_unique<SemikvWriter>(entries, out);
    case ReportFormat::JSON: return std::make_unique<JsonWriter>(entries, options, out);
    case ReportFormat::CSV: return std::make_unique<CsvWriter>(entries, options, out);
    case ReportFormat::HTML: return std::make_unique<HtmlWriter>(options, entries, out);
    case ReportFormat::TEXT: break;
    }
    return std::make_unique<TextWriter>(entries, out);
}

void writeReport(const Weekend& weekend, const ReportOptions& options, ReportSink& sink) {
    const Event& event = weekend.event;
    const EntryIndex entries(event.entries);
    ReportStream out(sink);
    const std::unique_ptr<ReportWriter> writer = makeWriter(options, entries, out);

    writer->begin(weekend);
    if (weekend.carset)
        writer->carset(*weekend.carset);
    else
        writer->noCarset();
    if (options.replayInfo) writer->replayInfo(weekend);
    if (options.eventInfo) writer->eventInfo(event);
    if (options.entryList) writer->entryList(sortedByNumber(event.entries));

    std::vector<SessionReport> sessions;
    sessions.reserve(event.sessions.size());
    for (const Session& session : event.sessions) sessions.push_back({sessions.size() + 1, &session});

    writer->beginSessions();
    for (const SessionReport& s : sessions) {
        writer->beginSession(s);
        const SessionType type = s.session->type;
        if (type == SessionType::PRACTICE && options.practiceResults) {
            writer->practiceResults(s, bestLapResults(s.session->timing));
        } else if (type == SessionType::RACE && options.raceResults) {
            writer->raceResults(s, raceResults(s.session->timing));
            writer->fastestLaps(s, bestLapResults(s.session->timing));
        }
        writer->endSession(s);
    }
    writer->endSessions();
    if (options.laps) writer->lapListings(sessions);
    writer->end();
    out.flush();
}
