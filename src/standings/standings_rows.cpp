#include "standings/standings_rows.h"

#include "document/cells.h"
#include "text/format.h"
#include "text/html_text.h"

std::string standingsCell(const RoundResult& result) {
    std::string cell;
    switch (result.status) {
    case RoundStatus::ABSENT: cell = "-"; break;
    case RoundStatus::CLASSIFIED: cell = formatText("%d/%d", result.position, result.points); break;
    case RoundStatus::NOT_CLASSIFIED:
    case RoundStatus::DISQUALIFIED:
        cell = result.status == RoundStatus::DISQUALIFIED ? "DSQ" : "DNF";
        if (result.points != 0) appendFormat(cell, "/%d", result.points);
        break;
    }
    return result.dropped ? "[" + cell + "]" : cell;
}

std::string roundHeading(const RoundInfo& round) { return formatText("R%d", round.number); }

StandingsRow driverRow(const Standings& standings, const DriverStanding& driver) {
    StandingsRow row{driver.driver, driver.points, {}};
    row.cells.reserve(standings.rounds.size());
    for (std::size_t i = 0; i < standings.rounds.size(); ++i) row.cells.push_back(standingsCell(driver.in(i)));
    return row;
}

StandingsRow teamRow(const Standings& standings, const TeamStanding& team) {
    StandingsRow row{team.team, team.points, {}};
    row.cells.reserve(standings.rounds.size());
    for (std::size_t i = 0; i < standings.rounds.size(); ++i) {
        const std::optional<std::int64_t> points = team.in(i);
        row.cells.push_back(points ? std::to_string(*points) : std::string("-"));
    }
    return row;
}

void appendStandingsHtmlCell(std::string& out, const RoundResult& result, std::string_view penalty) {
    // Most cells of a season of many occasional drivers.
    if (result.status == RoundStatus::ABSENT && !result.dropped) {
        out += "<td class=\"rc abs\">\xE2\x80\x93</td>"; // en dash
        return;
    }
    const char* cls = "";
    switch (result.status) {
    case RoundStatus::ABSENT: cls = "abs"; break;
    case RoundStatus::NOT_CLASSIFIED: cls = "dnf"; break;
    case RoundStatus::DISQUALIFIED: cls = "dsq"; break;
    case RoundStatus::CLASSIFIED: {
        constexpr const char* podium[] = {"", "p1", "p2", "p3"};
        cls = result.position <= 3 ? podium[result.position] : "";
        break;
    }
    }
    out += "<td class=\"rc";
    if (*cls) {
        out += ' ';
        out += cls;
    }
    out += result.dropped ? " drop\">" : "\">";
    switch (result.status) {
    case RoundStatus::ABSENT: out += "(\xE2\x80\x93)"; break;
    case RoundStatus::CLASSIFIED: appendInteger(out, result.position); break;
    case RoundStatus::NOT_CLASSIFIED: out += "DNF"; break;
    case RoundStatus::DISQUALIFIED: out += "DSQ"; break;
    }
    if (result.status == RoundStatus::CLASSIFIED || result.points != 0 ||
        (result.dropped && result.status != RoundStatus::ABSENT)) {
        out += result.dropped ? " <small>(" : " <small>";
        appendInteger(out, result.points);
        out += result.dropped ? ")</small>" : "</small>";
    }
    if (result.fastestLap) out += "<sup title=\"fastest-lap bonus\">FL</sup>";
    if (!penalty.empty()) {
        // "+2 points" alone is a bonus; anything else the stewards took.
        const bool bonus = penalty.starts_with('+') && (penalty.ends_with(" point") || penalty.ends_with(" points")) &&
                           penalty.find(',') == std::string_view::npos;
        out += bonus ? "<sup title=\"bonus: " : "<sup title=\"penalty: ";
        appendHtmlText(out, penalty);
        out += bonus ? "\">bon</sup>" : "\">pen</sup>";
    }
    out += "</td>";
}

std::string_view roundPenalty(const Standings& standings, std::size_t i, const std::string& driver) {
    if (i >= standings.official.size()) return {};
    for (const OfficialCar& car : standings.official[i].cars)
        if (car.driver == driver) return car.penalty;
    return {};
}
