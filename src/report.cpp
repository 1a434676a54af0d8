#include "report.h"

#include <algorithm>

#include "console.h"
#include "data.h"
#include "globals.h"
#include "gridtally.h"
#include "repsemikv.h"
#include "reptxt.h"
#include "timing.h"

namespace {

// Room for a typical report, so that it needs no reallocation.
constexpr std::size_t reportReserve = 16384;
constexpr const char* semikvVersion = "1";

bool flagOn(Flag flag) {
    const auto& flags = globals().reportFlags;
    const auto it = flags.find(flag);
    return it != flags.end() && it->second;
}

// Room for the whole report, so that a long one is not copied over and over
// as it grows. A lap line takes up to about lapLineBytes; room reserved but
// never written costs no memory.
std::size_t reportRoom(const Event& event, std::size_t lapLineBytes) {
    std::size_t crossings = 0;
    if (flagOn(Flag::LAPS)) {
        for (const Session& session : event.sessions) {
            if (!session.timing) continue;
            for (const TimingEntry& timed : session.timing->timingEntries) crossings += timed.laps.size();
        }
    }
    return reportReserve + crossings * lapLineBytes;
}

} // namespace

std::string semikvValue(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (char c : value) {
        if (c == ';')
            escaped += "\xCD\xBE"; // U+037E GREEK QUESTION MARK
        else
            escaped += c;
    }
    return escaped;
}

namespace {

bool holdsSemicolon(const FormatArg& value) {
    const auto* text = std::get_if<std::string_view>(&value);
    return text && text->find(';') != std::string_view::npos;
}

} // namespace

void appendSemikvArgs(std::string& out, std::string_view pattern, std::span<FormatArg> values) {
    // Each text value is escaped on its own before it goes into the
    // pattern, so a separator can only come from the pattern. Few values
    // hold a ';', so only those get an escaped copy; the reserved vector
    // keeps the copies in place while the views point at them.
    std::vector<std::string> escaped;
    escaped.reserve(static_cast<std::size_t>(std::count_if(values.begin(), values.end(), holdsSemicolon)));
    for (FormatArg& value : values) {
        if (holdsSemicolon(value)) {
            escaped.push_back(semikvValue(std::get<std::string_view>(value)));
            value = std::string_view(escaped.back());
        }
    }
    appendFormatArgs(out, pattern, values);
}

std::string textReport(const Data& data) {
    if (data.events.empty()) return {};
    const Event& event = data.events.front();
    std::string out;
    out.reserve(reportRoom(event, 32));

    if (carsetLoaded(globals().carsetIni)) {
        const CarsetInfo& info = data.gpl().carsetInfo;
        out += "Carset Info\n";
        if (!info.name.empty()) appendFormat(out, "name      : %s\n", info.name);
        if (!info.cardir.empty()) appendFormat(out, "cardir    : %s\n", info.cardir);
        if (!info.physics.empty()) appendFormat(out, "physics   : %s\n", info.physics);
        if (!info.shortid.empty()) appendFormat(out, "shortid   : %s\n", info.shortid);
        if (info.year != 0) appendFormat(out, "year      : %s\n", info.year);
    }
    if (flagOn(Flag::REPLAY_INFO)) {
        out += "Replay Info\n";
        appendFormat(out, "saver     : %s %s\n", data.saverName, data.saverVersion);
    }
    if (flagOn(Flag::EVENT_INFO)) {
        out += "Event Info\n";
        appendFormat(out, "track     : %s\n", event.track);
        appendFormat(out, "carset    : %s\n", event.carset);
        out += "\n";
    }
    if (flagOn(Flag::ENTRY_LIST)) appendTextEntryList(out, event.entries);
    out += "\n";

    for (const Session& session : event.sessions) {
        if (session.type == SessT::PRACTICE && flagOn(Flag::PRACTICE_RESULTS)) {
            appendTextBestLaps(out, "Practice Results", session, event.entries);
        } else if (session.type == SessT::RACE && flagOn(Flag::RACE_RESULTS)) {
            appendTextRaceResults(out, session, event.entries);
            appendTextBestLaps(out, "Race Fastest Laps", session, event.entries);
        }
    }
    if (flagOn(Flag::LAPS)) appendTextLapTimes(out, event.sessions);
    return out;
}

std::string semikvReport(const Data& data) {
    if (data.events.empty()) return {};
    const Event& event = data.events.front();
    std::string out;
    out.reserve(reportRoom(event, 64));

    appendFormat(out, "semikv_start;semikv_version=%s;gridtally_version=%s;\n\n", semikvVersion,
                 programVersion);
    if (carsetLoaded(globals().carsetIni)) {
        const CarsetInfo& info = data.gpl().carsetInfo;
        out += "table_start;table=Carset Info;\n";
        appendSemikv(out, "name=%s;", info.name);
        appendSemikv(out, "cardir=%s;", info.cardir);
        appendSemikv(out, "physics=%s;", info.physics);
        appendSemikv(out, "shortid=%s;", info.shortid);
        appendSemikv(out, "year=%s;\n", info.year);
        out += "table_end;\n\n";
    }
    if (flagOn(Flag::REPLAY_INFO)) {
        out += "table_start;table=Replay Info;\n";
        appendSemikv(out, "saver=%s %s;\n", data.saverName, data.saverVersion);
        out += "table_end;\n\n";
    }
    if (flagOn(Flag::EVENT_INFO)) {
        out += "table_start;table=Event Info;\n";
        appendSemikv(out, "track=%s;", event.track);
        appendSemikv(out, "carset=%s;\n", event.carset);
        out += "table_end;\n\n";
    }
    if (flagOn(Flag::ENTRY_LIST)) appendSemikvEntryList(out, event.entries);

    for (const Session& session : event.sessions) {
        if (session.type == SessT::PRACTICE && flagOn(Flag::PRACTICE_RESULTS)) {
            appendSemikvBestLaps(out, "Practice Results", session, event.entries);
        } else if (session.type == SessT::RACE && flagOn(Flag::RACE_RESULTS)) {
            appendSemikvRaceResults(out, session, event.entries);
            appendSemikvBestLaps(out, "Race Fastest Laps", session, event.entries);
        }
    }
    if (flagOn(Flag::LAPS)) appendSemikvLapTimes(out, event.sessions, event.entries);
    out += "semikv_end;\n";
    return out;
}

std::string Report::toString() const {
    switch (format) {
    case OutputFormat::TXT: return textReport(data);
    case OutputFormat::SEMIKV: return semikvReport(data);
    }
    stderrConsole().writeln("Output format not supported");
    return {};
}
