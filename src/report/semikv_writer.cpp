#include "report/semikv_writer.h"

#include <algorithm>
#include <charconv>

#include "document/cells.h"
#include "document/semikv_document.h"
#include "report/report_columns.h"
#include "text/format.h"
#include "text/visible_text.h"

using semikv::appendFields;

namespace {

// A lap line, put together on the stack and appended in one piece: a report
// with every lap is millions of these, and laying them out cell by cell was
// two thirds of its run time. Remarks hold neither ';' nor control
// characters, so nothing needs escaping.
void appendLapLine(std::string& out, const TimingEntry& car, std::size_t lap) {
    char line[128]; // 4 + 20 + 9 + 16 + 7 + 16 + 8 + 25 + 2 at most
    char* p = line;
    auto put = [&p](std::string_view text) { p = std::copy(text.begin(), text.end(), p); };
    put("lap=");
    p = std::to_chars(p, p + 20, lap).ptr;
    put(";laptime=");
    p = writeLapTime(p, lapTimeAt(car, lap));
    put(";clock=");
    p = writeLapTime(p, car.laps[lap].clock);
    put(";remark=");
    put(lapRemarkText(car.laps[lap].flags));
    put(";\n");
    out.append(line, p);
}

} // namespace

void SemikvWriter::begin(const Weekend&) { semikv::appendStart(out_.buffer()); }

void SemikvWriter::carset(const CarsetInfo& info) {
    std::string& out = out_.buffer();
    out += "table_start;table=Carset Info;\n";
    appendFields(out, "name=%s;", info.name);
    appendFields(out, "cardir=%s;", info.cardir);
    appendFields(out, "physics=%s;", info.physics);
    appendFields(out, "shortid=%s;", info.shortid);
    appendFields(out, "year=%s;\n", info.year);
    out += "table_end;\n\n";
}

void SemikvWriter::replayInfo(const Weekend& weekend) {
    out_ += "table_start;table=Replay Info;\n";
    appendFields(out_.buffer(), "saver=%s %s;\n", weekend.saverName, weekend.saverVersion);
    out_ += "table_end;\n\n";
}

void SemikvWriter::eventInfo(const Event& event) {
    out_ += "table_start;table=Event Info;\n";
    appendFields(out_.buffer(), "track=%s;", event.track);
    appendFields(out_.buffer(), "carset=%s;\n", event.carset);
    out_ += "table_end;\n\n";
}

void SemikvWriter::entryList(const std::vector<const Entry*>& byNumber) {
    std::string& out = out_.buffer();
    out += "table_start;table=Entry List;\n";
    bool lineOpen = false;
    for (const Entry* entry : byNumber) {
        appendSemikvFields(out, entryColumns, *entry);
        // The line feed belongs to each driver's remark: a second driver
        // starts a new line, an entry without drivers runs on into the next.
        int k = 0;
        for (const Driver& driver : entry->drivers) {
            appendSemikvFields(out, driverColumns, driver, formatText("driver%d_", ++k));
            out += '\n';
        }
        lineOpen = entry->drivers.empty();
        out_.endRow();
    }
    // A driverless last entry must not take the end marker onto its line.
    if (lineOpen) out_ += "\n";
    out_ += "table_end;\n\n";
}

template <class Row, class Result>
void SemikvWriter::table(std::string_view title, Columns<Row> columns, const std::vector<Result>& rows) {
    if (rows.empty()) return;
    out_ += "table_start;table=";
    out_ += title;
    out_ += ";\n";
    int pos = 0;
    for (const Result& r : rows) {
        appendSemikvFields(out_.buffer(), columns, Row{++pos, entries_.find(r.carId), r});
        out_ += "\n";
        out_.endRow();
    }
    out_ += "table_end;\n\n";
}

void SemikvWriter::practiceResults(const SessionReport&, const std::vector<BestLapResult>& rows) {
    table("Practice Results", bestLapColumns, rows);
}

void SemikvWriter::fastestLaps(const SessionReport&, const std::vector<BestLapResult>& rows) {
    table("Race Fastest Laps", bestLapColumns, rows);
}

void SemikvWriter::raceResults(const SessionReport&, const std::vector<RaceResult>& rows) {
    table("Race Results", raceColumns, rows);
}

void SemikvWriter::lapListings(const std::vector<SessionReport>& sessions) {
    for (const SessionReport& s : sessions) {
        const std::string type = toString(s.session->type);
        for (const TimingEntry& car : s.session->timing.cars) {
            const std::int16_t carNumber = entries_.find(car.carId).number;
            std::string& out = out_.buffer();
            out += "table_start;table_type=laptimes;";
            appendFields(out, "table=Session %s (%s) Car %d laptimes;", s.number, type, carNumber);
            appendFields(out, "session=%d;startnum=%d;\n", s.number, carNumber);
            for (std::size_t i = 0; i < car.laps.size(); ++i) {
                appendLapLine(out_.buffer(), car, i);
                out_.endRow();
            }
            out_ += "table_end;\n\n";
        }
    }
}

void SemikvWriter::end() { out_ += semikv::end; }
