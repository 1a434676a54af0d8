#include "page/result_table.h"

#include "document/cells.h"
#include "page/html_page.h"
#include "text/format.h"
#include "text/html_text.h"

std::string resultGap(bool leader, bool retired, std::uint32_t lapsBehind, std::uint64_t timeMs,
                      std::uint64_t gapMs) {
    if (retired) return "DNF";
    if (lapsBehind != 0) return formatText("+%d lap%s", lapsBehind, lapsBehind == 1 ? "" : "s");
    if (leader) return formatLapTime(static_cast<std::uint32_t>(timeMs));
    std::string gap = "+"; // appended, not "+" + ...: g++ 12 -O2 warns on that (-Wrestrict)
    gap += formatLapTime(static_cast<std::uint32_t>(gapMs));
    return gap;
}

std::string gainedText(std::int64_t gained) {
    return gained > 0 ? formatText("+%d", gained) : std::to_string(gained);
}

void appendResultTable(std::string& out, const std::vector<ResultRow>& rows, bool official) {
    // Columns marked "wide" fold away on a phone.
    std::string header = "<th class=\"n\">Pos</th><th class=\"n\">No.</th><th>Driver</th><th class=\"wide\">Team</th>"
                         "<th class=\"n wide\">Laps</th><th class=\"n\">Gap</th><th class=\"n wide\">Best lap</th>"
                         "<th class=\"n wide\">Start</th>"
                         "<th class=\"n wide\"><abbr title=\"places gained or lost from the start\">+/-</abbr></th>";
    if (official) header += "<th class=\"n\">Pts</th><th class=\"wide\">Penalty</th>";
    html::openTable(out, official ? "result official" : "result", header);
    for (const ResultRow& r : rows) {
        out += "<tr>";
        html::numberCell(out, r.position);
        html::numberCell(out, r.number);
        out += "<td class=\"dr\">";
        appendHtmlName(out, r.driver);
        out += "</td><td class=\"wide\">";
        appendHtmlName(out, r.team);
        appendFormat(out, "</td><td class=\"n wide\">%d</td><td class=\"n gap\">", r.laps);
        appendHtmlText(out, r.gap);
        appendFormat(out, "</td><td class=\"n wide\">%s%s</td>", r.bestLapMs ? formatLapTime(r.bestLapMs) : "-",
                     r.fastestLap ? " <abbr class=\"fl\" title=\"fastest lap of the race\">FL</abbr>" : "");
        appendFormat(out, "<td class=\"n wide\">%s</td><td class=\"n wide\">%s</td>",
                     r.start ? std::to_string(r.start) : "-", r.gained);
        if (official) {
            appendFormat(out, "<td class=\"n pts\">%d%s</td><td class=\"wide\">", r.points,
                         r.bonus ? "<sup title=\"fastest-lap bonus\">+</sup>" : "");
            if (!r.penalty.empty()) {
                out += "<span class=\"badge\">";
                appendHtmlText(out, r.penalty);
                out += "</span>";
            }
            out += "</td>";
        }
        out += "</tr>\n";
    }
    html::closeTable(out);
}
