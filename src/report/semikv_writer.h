// The semikv report: tables of "key=value;" lines for scripts. A ';' inside
// a value is written as U+037E, so that only the layout's own semicolons
// separate fields, and a control character as its visible stand-in
// (text/visible_text.h), so that only the layout's line feeds end lines.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "report/report.h"
#include "text/visible_text.h"
#include "text/format.h"

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
    void bestLaps(std::string_view title, const std::vector<BestLapResult>& rows);
    void place(int pos, const Entry& entry, std::int32_t driverId);

    const EntryIndex& entries_;
    ReportStream& out_;
};

// The value with every ';' replaced by U+037E (UTF-8 CD BE).
std::string semikvValue(std::string_view value);

// What every semikv document shares, the season standings' too.
namespace semikv {

// Text values are shown visibly and escaped; few hold a ';', so only those
// are copied again.
template <class T>
decltype(auto) field(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        std::string text = visibleText(std::string(std::string_view(value)));
        return text.find(';') == std::string::npos ? text : semikvValue(text);
    } else {
        return value;
    }
}

// Fills the layout's directives with escaped values.
template <class... Args>
void appendFields(std::string& out, FormatString<decltype(field(std::declval<const Args&>()))...> layout,
                  const Args&... values) {
    appendFormat(out, layout, field(values)...);
}

// The document's opening line and the empty line after it.
void appendStart(std::string& out);
inline constexpr const char* end = "semikv_end;\n";

} // namespace semikv
