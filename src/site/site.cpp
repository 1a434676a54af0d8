#include "site/site.h"

#include <algorithm>
#include <map>
#include <set>

#include "document/cells.h"
#include "page/html_page.h"
#include "page/result_table.h"
#include "platform/platform.h"
#include "replay/replay_file.h"
#include "report/report.h"
#include "season/season.h"
#include "standings/standings_rows.h"
#include "standings/standings_writer.h"
#include "text/csv_text.h"
#include "text/format.h"
#include "text/html_text.h"
#include "text/json_text.h"
#include "weekend/weekend_builder.h"

using html::cell;
using html::closeTable;
using html::numberCell;
using html::openTable;

namespace {

// Marks a folder as a site gridtally wrote, which a later run may replace.
constexpr const char* markerName = ".gridtally-site";

std::string join(const std::string& folder, const std::string& name) { return folder + "/" + name; }

std::string roundPage(std::uint32_t number) { return formatText("round-%d.html", number); }

// The gap column as on the page, and DSQ.
std::string gapText(const OfficialCar& car, bool leader) {
    if (car.disqualified) return "DSQ";
    return resultGap(leader, car.retired, car.lapsBehind, car.timeMs, car.gapMs);
}

std::string positionText(const OfficialCar& car) {
    if (car.disqualified) return "DSQ";
    if (!car.classified) return "NC";
    return std::to_string(car.position);
}

// The official result in the place of the race's own result table.
void appendOfficialTable(std::string& out, const OfficialResult& result) {
    out += "<h3 id=\"official\">Official result</h3>\n";
    std::vector<ResultRow> rows;
    rows.reserve(result.cars.size());
    for (std::size_t i = 0; i < result.cars.size(); ++i) {
        const OfficialCar& c = result.cars[i];
        rows.push_back(ResultRow{positionText(c), c.number, c.driver, c.team, c.laps, gapText(c, i == 0), c.bestLapMs,
                                 c.fastestLap, c.start, c.classified && c.start ? gainedText(c.gained()) : "",
                                 c.points, c.bonus, c.penalty});
    }
    appendResultTable(out, rows, true);
}

// The official result as CSV: the page's columns.
std::string officialCsv(const OfficialResult& result) {
    std::string out = "\xEF\xBB\xBFposition,number,driver,team,laps,gap,best_lap,fastest_lap,start,gained,points,bonus,"
                      "penalty\r\n";
    for (std::size_t i = 0; i < result.cars.size(); ++i) {
        const OfficialCar& c = result.cars[i];
        appendFormat(out, "%s,%d,", positionText(c), c.number);
        appendCsvField(out, c.driver);
        out += ',';
        appendCsvField(out, c.team);
        appendFormat(out, ",%d,%s,%s,%s,%s,%s,%d,%s,", c.laps, gapText(c, i == 0),
                     c.bestLapMs ? formatLapTime(c.bestLapMs) : "", c.fastestLap ? "true" : "false",
                     c.start ? std::to_string(c.start) : "", c.classified && c.start ? std::to_string(c.gained()) : "",
                     c.points, c.bonus ? "true" : "false");
        appendCsvField(out, c.penalty);
        out += "\r\n";
    }
    return out;
}

// The official result as a JSON array (docs/round.schema.json, "official").
std::string officialJson(const OfficialResult& result) {
    std::string out = "[";
    for (std::size_t i = 0; i < result.cars.size(); ++i) {
        const OfficialCar& c = result.cars[i];
        out += i ? ",\n    {" : "\n    {";
        appendFormat(out, "\"position\": %d, \"classified\": %s, \"disqualified\": %s, \"number\": %d, \"driver\": ",
                     c.position, c.classified ? "true" : "false", c.disqualified ? "true" : "false", c.number);
        appendJsonString(out, c.driver);
        out += ", \"team\": ";
        appendJsonString(out, c.team);
        appendFormat(out,
                     ", \"laps\": %d, \"time_ms\": %d, \"gap\": \"%s\", \"laps_behind\": %d, \"retired\": %s, "
                     "\"best_lap_ms\": %d, \"fastest_lap\": %s, \"start\": %d, \"gained\": %d, \"points\": %d, "
                     "\"bonus\": %s, \"penalty\": ",
                     c.laps, c.timeMs, gapText(c, i == 0), c.lapsBehind, c.retired ? "true" : "false", c.bestLapMs,
                     c.fastestLap ? "true" : "false", c.start, c.gained(), c.points, c.bonus ? "true" : "false");
        appendJsonString(out, c.penalty);
        out += "}";
    }
    return out + "\n  ]";
}

// A file written as a report stream passes it on, a piece at a time: the
// tables of a season of many rounds and drivers never sit whole in memory.
class FileSink final : public ReportSink {
public:
    explicit FileSink(const std::string& path) : file_(path, false) {}
    void write(std::string_view text) override { file_.write(text); }
    void commit() { file_.commit(); }

private:
    platform::OutputFile file_;
};

void writeStandingsFile(const std::string& path, const Standings& standings, ReportFormat format, bool teams) {
    FileSink sink(path);
    writeStandings(standings, StandingsOptions{format, teams}, sink);
    sink.commit();
}

std::string replayReport(const SeasonRound& round, ReportFormat format, Diagnostics& diagnostics) {
    StringSink sink;
    ReportOptions options;
    options.format = format;
    const ReplayFile file(round.replayPath);
    writeReport(buildWeekend(file, CarsetChoice{round.carsetPath, false}, diagnostics), options, sink);
    return sink.text();
}

void appendNav(std::string& out, const std::vector<std::pair<std::string, std::string>>& links) {
    out += "<nav>";
    for (const auto& [href, text] : links) {
        out += "<a href=\"";
        appendHtmlText(out, href);
        out += "\">";
        appendHtmlText(out, text);
        out += "</a> ";
    }
    out += "</nav>\n";
}

std::string roundTitle(const RoundInfo& round) {
    return formatText("Round %d: %s", round.number, round.name.empty() ? round.track : round.name);
}

class SiteBuilder {
public:
    SiteBuilder(const std::string& folder, const SeasonFile& season, const Standings& standings,
                Diagnostics& diagnostics)
        : folder_(folder), season_(season), standings_(standings), diagnostics_(diagnostics) {
        std::set<std::string> taken;
        for (const DriverStanding& d : standings.drivers) {
            std::string name = pageName(d.driver);
            for (int n = 2; !taken.insert(name).second; ++n) name = pageName(d.driver) + "-" + std::to_string(n);
            pages_[d.driver] = "drivers/" + name + ".html";
        }
    }

    void write() {
        platform::writeFile(join(folder_, markerName), "gridtally site\n");
        platform::writeFile(join(folder_, "site.css"), siteStyle());
        index();
        seasonJson();
        writeStandingsFile(join(folder_, "standings.csv"), standings_, ReportFormat::CSV, false);
        writeStandingsFile(join(folder_, "teams.csv"), standings_, ReportFormat::CSV, true);
        for (std::size_t r = 0; r < standings_.rounds.size(); ++r) round(r);
        platform::makeDirectory(join(folder_, "drivers"));
        for (std::size_t i = 0; i < standings_.drivers.size(); ++i) driver(standings_.drivers[i], i + 1);
        copy(standings_.identity.logoPath);
        copy(standings_.identity.stylePath);
    }

private:
    // What the site adds to the head of every page: its style sheets after
    // the page's own, and, with the site's address, the canonical and Open
    // Graph tags that give a pasted link its title and picture.
    void writePage(const std::string& name, std::string page, const std::string& title) const {
        const std::size_t end = page.find("</head>");
        page.insert(end == std::string::npos ? 0 : end, siteHead(name, title));
        platform::writeFile(join(folder_, name), page);
    }

    std::string siteHead(const std::string& name, const std::string& title) const {
        const std::string up = name.find('/') == std::string::npos ? "" : "../";
        std::string head = "<link rel=\"stylesheet\" href=\"" + up + "site.css\">\n";
        const SeasonIdentity& identity = standings_.identity;
        if (!identity.stylePath.empty()) {
            head += "<link rel=\"stylesheet\" href=\"";
            appendHtmlText(head, up + fileName(identity.stylePath));
            head += "\">\n";
        }
        if (!identity.url.empty()) {
            const std::string base = identity.url.ends_with('/') ? identity.url : identity.url + "/";
            const auto meta = [&head](const char* property, const std::string& content) {
                appendFormat(head, "<meta property=\"%s\" content=\"", property);
                appendHtmlText(head, content);
                head += "\">\n";
            };
            head += "<link rel=\"canonical\" href=\"";
            appendHtmlText(head, base + name);
            head += "\">\n";
            meta("og:type", "website");
            meta("og:title", title);
            meta("og:description", (identity.league.empty() ? "" : identity.league + " \xC2\xB7 ") + standings_.season);
            meta("og:url", base + name);
            if (!identity.logoPath.empty()) meta("og:image", base + fileName(identity.logoPath));
        }
        return head;
    }

    // The site's additions to the page style: the league's colour, the
    // penalty badges, links.
    std::string siteStyle() const {
        std::string css;
        if (!standings_.identity.accent.empty())
            css += ":root{--accent:" + standings_.identity.accent + "}\n";
        css += "a{color:var(--accent)}\n"
               "nav{margin:14px 0 0;display:flex;flex-wrap:wrap;gap:4px 18px}\n"
               "img.logo{height:64px;width:auto}\n"
               ".badge{display:inline-block;padding:0 6px;border:1px solid currentColor;border-radius:9px;"
               "font-size:.85em;font-weight:600}\n"
               "@media print{nav{display:none}}\n";
        return css;
    }

    static std::string fileName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

    void copy(const std::string& path) {
        if (!path.empty()) platform::writeFile(join(folder_, fileName(path)), platform::readFile(path, 16u << 20));
    }

    void pageStart(std::string& out, const std::string& title, const std::string& subtitle) const {
        appendHtmlPageStart(out, title, subtitle, standingsPageStyle);
    }

    // Written as it is made: the standings of a long season are large.
    void index() const {
        const Standings& s = standings_;
        FileSink sink(join(folder_, "index.html"));
        ReportStream stream(sink);
        std::string& out = stream.buffer();
        const std::size_t total = s.rounds.size() + s.upcoming.size();
        pageStart(out, s.season,
                  (s.identity.league.empty() ? "" : s.identity.league + " · ") +
                      formatText("after %d of %d rounds", s.rounds.size(), total));
        out.insert(out.find("</head>"), siteHead("index.html", s.season));
        if (!s.identity.logoPath.empty()) {
            out += "<p><img class=\"logo\" alt=\"\" src=\"";
            appendHtmlText(out, fileName(s.identity.logoPath));
            out += "\"></p>\n";
        }
        out += "<section>\n<h2>Calendar</h2>\n";
        openTable(out, "calendar",
                  "<th class=\"n\">Round</th><th>Name</th><th>Date</th><th>Track</th><th>Winner</th><th>Fastest lap</th>");
        std::map<std::uint32_t, const RoundInfo*> calendar;
        for (const RoundInfo& r : s.rounds) calendar[r.number] = &r;
        for (const RoundInfo& r : s.upcoming) calendar[r.number] = &r;
        for (const auto& [number, round] : calendar) {
            const OfficialResult* result = official(number);
            out += "<tr>";
            if (result) appendFormat(out, "<td class=\"n\"><a href=\"%s\">%d</a></td>", roundPage(number), number);
            else numberCell(out, number);
            cell(out, round->name);
            cell(out, round->date);
            cell(out, round->track);
            const OfficialCar* winner = result && !result->cars.empty() && result->cars.front().classified
                                            ? &result->cars.front()
                                            : nullptr;
            cell(out, winner ? winner->driver : "");
            const OfficialCar* fastest = nullptr;
            if (result)
                for (const OfficialCar& c : result->cars)
                    if (c.fastestLap) fastest = &c;
            out += "<td>";
            if (fastest) {
                appendHtmlName(out, fastest->driver);
                out += ' ';
                out += formatLapTime(fastest->bestLapMs);
            }
            out += "</td>";
            out += "</tr>\n";
            stream.endRow();
        }
        closeTable(stream.buffer());
        stream += "</section>\n";
        // The standings page's tables and chart, the rounds linked to their pages.
        const auto writer = standingsHtmlWriter(stream, true);
        writer->drivers(s);
        writer->teams(s);
        stream += "<section>\n<h2>Drivers</h2>\n<ul>\n";
        for (const DriverStanding& d : s.drivers) {
            std::string& line = stream.buffer();
            line += "<li><a href=\"";
            appendHtmlText(line, pages_.at(d.driver));
            line += "\">";
            appendHtmlName(line, d.driver);
            line += "</a></li>\n";
            stream.endRow();
        }
        stream += "</ul>\n</section>\n";
        appendHtmlPageEnd(stream.buffer());
        stream.flush();
        sink.commit();
    }

    // The standings as --format=json writes them, each round with its
    // official result as its round-N.json holds it.
    void seasonJson() const {
        FileSink sink(join(folder_, "season.json"));
        ReportStream stream(sink);
        const auto writer = standingsJsonWriter(stream, [this](std::string& out, std::size_t round) {
            out += ", \"official\": ";
            out += officialJson(standings_.official[round]);
        });
        writeStandings(*writer, standings_);
        stream.flush();
        sink.commit();
    }

    const OfficialResult* official(std::uint32_t number) const {
        for (const OfficialResult& r : standings_.official)
            if (r.round == number) return &r;
        return nullptr;
    }

    void round(std::size_t r) const {
        const RoundInfo& info = standings_.rounds[r];
        const OfficialResult& result = standings_.official[r];
        const SeasonRound& source = *std::find_if(season_.rounds.begin(), season_.rounds.end(),
                                                  [&](const SeasonRound& s) { return s.number == info.number; });
        std::vector<std::pair<std::string, std::string>> links{{"index.html", "Season"}};
        if (r > 0) links.emplace_back(roundPage(standings_.rounds[r - 1].number), "Previous round");
        if (r + 1 < standings_.rounds.size()) links.emplace_back(roundPage(standings_.rounds[r + 1].number), "Next round");
        // The replay's page under the round's own heading, the official
        // result in the place of the race's table (the last race's: the one
        // the season scores).
        std::string page;
        pageStart(page, roundTitle(info), info.date);
        appendNav(page, links);
        std::string replay = replayReport(source, ReportFormat::HTML, diagnostics_);
        const std::size_t main = replay.find("<main>\n");
        replay.erase(0, main == std::string::npos ? 0 : main + 7);
        std::string official;
        appendOfficialTable(official, result);
        const std::size_t table = replay.rfind("<h3>Race Results</h3>\n");
        const std::size_t tableEnd = table == std::string::npos ? table : replay.find("</table></div>\n", table);
        if (tableEnd == std::string::npos) replay.insert(0, official);
        else replay.replace(table, tableEnd + 15 - table, official);
        page += replay;
        writePage(roundPage(info.number), std::move(page), roundTitle(info));
        std::string json = replayReport(source, ReportFormat::JSON, diagnostics_);
        const std::size_t end = json.find_last_of('}');
        if (end != std::string::npos) json.insert(end, ",\n  \"official\": " + officialJson(result) + "\n");
        platform::writeFile(join(folder_, formatText("round-%d.json", info.number)), json);
        platform::writeFile(join(folder_, formatText("round-%d.csv", info.number)), officialCsv(result));
    }

    void driver(const DriverStanding& d, std::size_t place) const {
        std::string out;
        pageStart(out, d.driver, formatText("%s: %d points, position %d", standings_.season, d.points, place));
        appendNav(out, {{"../index.html", "Season"}});
        out += "<section>\n<h2>Rounds</h2>\n";
        openTable(out, "",
                  "<th class=\"n\">Round</th><th>Track</th><th class=\"rc\">Result</th><th class=\"n\">Points</th>"
                  "<th class=\"n\">Best lap</th><th>Status</th><th>Penalty</th>");
        // The rounds raced and the missed rounds that dropped: a driver of one
        // round in a long season gets a short page.
        for (const RoundResult& result : d.results) {
            const std::size_t r = result.round;
            const RoundInfo& info = standings_.rounds[r];
            const OfficialCar* car = nullptr;
            if (result.status != RoundStatus::ABSENT)
                for (const OfficialCar& c : standings_.official[r].cars)
                    if (c.driver == d.driver) car = &c;
            out += "<tr>";
            appendFormat(out, "<td class=\"n\"><a href=\"../%s\">%d</a></td>", roundPage(info.number), info.number);
            cell(out, info.track);
            appendStandingsHtmlCell(out, result, car ? std::string_view(car->penalty) : std::string_view());
            numberCell(out, result.dropped ? formatText("(%d)", result.points) : std::to_string(result.points));
            numberCell(out, car && car->bestLapMs ? formatLapTime(car->bestLapMs) : "-");
            html::textCell(out, statusName(result.status));
            html::textCell(out, car ? car->penalty : "");
            out += "</tr>\n";
        }
        closeTable(out);
        if (const std::size_t missed = standings_.rounds.size() - d.results.size())
            appendFormat(out, "<p>Absent from the other %d round%s.</p>\n", missed, missed == 1 ? "" : "s");
        appendFormat(out,
                     "<p>Total: %d points; position %d. Each round: the position, then the points in small type; a "
                     "dropped round's points are in brackets; FL: fastest-lap bonus; pen, bon: a penalty or a bonus "
                     "(its title says which).</p>\n</section>\n",
                     d.points, place);
        appendHtmlPageEnd(out);
        writePage(pages_.at(d.driver), std::move(out), d.driver);
    }

    const std::string& folder_;
    const SeasonFile& season_;
    const Standings& standings_;
    Diagnostics& diagnostics_;
    std::map<std::string, std::string> pages_; // by driver
};

bool replaceable(const std::string& folder) {
    if (!platform::exists(folder)) return true;
    if (!platform::isDirectory(folder)) return false;
    const std::vector<std::string> names = platform::listDirectory(folder);
    return names.empty() || platform::exists(join(folder, markerName));
}

// True when path is inside folder or is it.
bool inside(const std::string& path, const std::string& folder) {
    const std::string p = platform::absolutePath(path);
    const std::string f = platform::absolutePath(folder);
    return p == f || (p.size() > f.size() && p.starts_with(f) && (p[f.size()] == '/' || p[f.size()] == '\\'));
}

} // namespace

std::string pageName(const std::string& driver) {
    // Latin-1 letters by their base letter (U+00C0..U+00FF), so that
    // "Niccolò" keeps its "o"; '-' for none.
    constexpr std::string_view latin1 = "aaaaaaaceeeeiiiidnooooo-ouuuuytsaaaaaaaceeeeiiiidnooooo-ouuuuyty";
    std::string name;
    const auto add = [&name](char c) {
        if (c != '-') name += c;
        else if (!name.empty() && name.back() != '-') name += '-';
    };
    for (std::size_t i = 0; i < driver.size(); ++i) {
        const auto c = static_cast<unsigned char>(driver[i]);
        const auto next = i + 1 < driver.size() ? static_cast<unsigned char>(driver[i + 1]) : 0u;
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) add(static_cast<char>(c));
        else if (c >= 'A' && c <= 'Z') add(static_cast<char>(c - 'A' + 'a'));
        else if (c == 0xC3 && next >= 0x80 && next <= 0xBF) {
            add(latin1[next - 0x80u]);
            ++i;
        } else {
            add('-');
        }
    }
    while (!name.empty() && name.back() == '-') name.pop_back();
    return name.empty() ? "driver" : name;
}

void writeSite(const std::string& seasonPath, const std::string& folder, Diagnostics& diagnostics) {
    const std::string target = folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')
                                   ? folder.substr(0, folder.size() - 1)
                                   : folder;
    if (!replaceable(target))
        throw SiteError(formatText("%s is not a site folder gridtally wrote, nor empty; it is left as it is", target));
    const SeasonFile season = readSeasonFile(seasonPath);
    std::vector<std::string> inputs{seasonPath, season.identity.logoPath, season.identity.stylePath};
    for (const SeasonRound& r : season.rounds) inputs.insert(inputs.end(), {r.replayPath, r.carsetPath});
    for (const std::string& input : inputs)
        if (!input.empty() && inside(input, target))
            throw SiteError(formatText("the site folder %s holds %s, which the season reads", target, input));
    const Standings standings = loadSeason(seasonPath, diagnostics);

    const std::string fresh = target + ".gridtally-new";
    const std::string old = target + ".gridtally-old";
    // Left by a run that was killed; anything else by those names is not ours.
    for (const std::string& leftover : {fresh, old})
        if (!replaceable(leftover))
            throw SiteError(formatText("%s is in the way of the new site and is not gridtally's", leftover));
    platform::removeTree(fresh);
    platform::makeDirectory(fresh);
    try {
        SiteBuilder(fresh, season, standings, diagnostics).write();
    } catch (...) {
        platform::removeTree(fresh);
        throw;
    }
    if (platform::exists(target)) {
        platform::removeTree(old);
        platform::renamePath(target, old);
    }
    platform::renamePath(fresh, target);
    platform::removeTree(old);
}
