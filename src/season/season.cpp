#include "season/season.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

#include "carset/carset.h"
#include "platform/platform.h"
#include "replay/replay_file.h"
#include "text/diagnostics.h"
#include "text/format.h"
#include "weekend/weekend_builder.h"

namespace {

// Passes messages on with the round they come from.
class RoundDiagnostics final : public Diagnostics {
public:
    RoundDiagnostics(std::string round, Diagnostics& out) : round_(std::move(round)), out_(out) {}
    void warning(std::string_view text) override { out_.warning(round_ + ": " + std::string(text)); }
    void notice(std::string_view text) override { out_.notice(round_ + ": " + std::string(text)); }

private:
    std::string round_;
    Diagnostics& out_;
};

bool isFile(const std::string& path) { return platform::exists(path) && !platform::isDirectory(path); }

// Each round's carset loaded once more, to see whether it names a car.
class CarsetCheck {
public:
    bool namesAny(const std::string& path, const Weekend& weekend) {
        auto [it, fresh] = carsets_.try_emplace(path);
        if (fresh) it->second = Carset::load(path);
        for (const Entry& entry : weekend.event.entries)
            for (const char* key : {"Team", "Name", "Engine"})
                if (const std::string* value = it->second.find("Car" + std::to_string(entry.carIndex), key);
                    value && !value->empty())
                    return true;
        return false;
    }

private:
    std::map<std::string, Carset> carsets_;
};

RoundRace readRound(const SeasonFile& season, const SeasonRound& round, CarsetCheck& carsets,
                    Diagnostics& diagnostics) {
    const std::string name = formatText("Round %d", round.number);
    const std::string where = formatText("%s (%s)", name, round.replayPath);
    if (!round.carsetPath.empty() && !isFile(round.carsetPath))
        throw SeasonFileError(season.message(round.carsetLine, formatText("cannot read %s: no such file", round.carsetPath)));
    if (!isFile(round.replayPath)) throw std::runtime_error(formatText("%s: cannot read %s: no such file", name, round.replayPath));
    RoundDiagnostics roundDiagnostics(name, diagnostics);
    try {
        const ReplayFile file(round.replayPath);
        const Weekend weekend = buildWeekend(file, CarsetChoice{round.carsetPath, false}, roundDiagnostics);
        if (!round.carsetPath.empty() && !weekend.event.entries.empty() && !carsets.namesAny(round.carsetPath, weekend))
            diagnostics.warning(season.message(
                round.carsetLine, formatText("the carset %s names none of the cars of round %d", round.carsetPath,
                                             round.number)));
        return roundRace(weekend, season, round);
    } catch (const CarsetError& e) {
        throw SeasonFileError(season.message(round.carsetLine, e.what()));
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(formatText("%s: %s", where, e.what()));
    }
}

// Rounds are compared only with the earlier ones of the same file name, so a
// season of many rounds asks the system about few pairs.
void warnOfSharedReplays(const SeasonFile& season, Diagnostics& diagnostics) {
    std::map<std::string_view, std::vector<const SeasonRound*>> byFileName;
    for (const SeasonRound& round : season.rounds) {
        if (round.replay.empty()) continue;
        const std::string_view path = round.replayPath;
        std::vector<const SeasonRound*>& same = byFileName[path.substr(path.find_last_of('/') + 1)];
        const auto first = std::find_if(same.begin(), same.end(), [&](const SeasonRound* other) {
            return other->replayPath == round.replayPath || platform::sameFile(other->replayPath, round.replayPath);
        });
        if (first != same.end())
            diagnostics.warning(season.message(round.replayLine, formatText("round %d reads the replay of round %d, %s",
                                                                            round.number, (*first)->number, round.replay)));
        same.push_back(&round);
    }
}

// An alias is used when a replay writes its name, or a used alias leads to
// it; each is marked once.
void warnOfUnusedAliases(const SeasonFile& season, const std::set<std::string>& replayNames,
                         Diagnostics& diagnostics) {
    std::set<std::string_view> used;
    for (const std::string& name : replayNames)
        for (auto it = season.aliases.find(name); it != season.aliases.end() && used.insert(it->first).second;
             it = season.aliases.find(it->second.next)) {
        }
    std::vector<std::pair<std::size_t, std::string_view>> unused;
    for (const auto& [name, alias] : season.aliases)
        if (!used.count(name)) unused.emplace_back(alias.line, name);
    std::sort(unused.begin(), unused.end());
    for (const auto& [line, name] : unused)
        diagnostics.warning(season.message(line, formatText("alias '%s' matches no driver of any round", name)));
}

} // namespace

bool isNetworkOrDevicePath(std::string_view path) {
    const auto separator = [&](std::size_t i) { return i < path.size() && (path[i] == '/' || path[i] == '\\'); };
    return separator(0) && separator(1);
}

void refuseNetworkPaths(const SeasonFile& season) {
    if (platform::pathSeparator != '\\') return;
    for (const SeasonRound& round : season.rounds) {
        for (const auto& [path, line] : {std::pair{round.replayPath, round.replayLine},
                                         std::pair{round.carsetPath, round.carsetLine}})
            if (isNetworkOrDevicePath(path))
                throw SeasonFileError(season.message(
                    line, formatText("%s is a network or device path; a season reads only local files", path)));
    }
}

RoundRace roundRace(const Weekend& weekend, const SeasonFile& season, const SeasonRound& round) {
    const Session* race = nullptr;
    for (const Session& s : weekend.event.sessions)
        if (s.type == SessionType::RACE) race = &s;
    if (!race) throw std::runtime_error("the replay holds no race");

    RoundRace out;
    out.number = round.number;
    out.replay = round.replay;
    out.replayPath = round.replayPath;
    out.track = weekend.event.track;
    const EntryIndex entries(weekend.event.entries);
    const std::vector<RaceResult> results = raceResults(race->timing);
    const std::vector<BestLapResult> fastest = bestLapResults(race->timing);
    const std::map<std::int32_t, std::uint32_t> start = startingPlaces(race->timing);
    out.cars.reserve(results.size());
    for (const RaceResult& r : results) {
        const Entry& entry = entries.find(r.carId);
        RaceCar car;
        car.replayName = displayName(entry.drivers.find(r.driverId));
        car.driver = season.standingsName(car.replayName);
        car.team = entry.team;
        car.laps = r.laps;
        car.timeMs = r.clock;
        car.number = entry.number;
        car.bestLapMs = r.bestLapTime;
        car.retired = r.retired;
        if (const auto place = start.find(r.carId); place != start.end()) car.start = place->second;
        if (!fastest.empty() && !out.fastestLap && fastest.front().carId == r.carId) out.fastestLap = out.cars.size();
        out.cars.push_back(std::move(car));
    }
    return out;
}

Standings loadSeason(const std::string& seasonPath, Diagnostics& diagnostics) {
    return loadSeason(readSeasonFile(seasonPath), diagnostics);
}

Standings loadSeason(const SeasonFile& season, Diagnostics& diagnostics) {
    refuseNetworkPaths(season);
    warnOfSharedReplays(season, diagnostics);
    std::vector<RoundRace> races;
    races.reserve(season.rounds.size());
    std::set<std::string> drivers;
    std::set<std::string> replayNames;
    CarsetCheck carsets;
    std::size_t results = 0;
    for (const SeasonRound& round : season.rounds) {
        if (round.replay.empty()) continue; // still to come
        races.push_back(readRound(season, round, carsets, diagnostics));
        results += races.back().cars.size();
        if (results > maxStandingsResults)
            throw SeasonFileError(formatText("%s: %d results or more by round %d are more than the standings hold (%d)",
                                             season.path, results, round.number, maxStandingsResults));
        for (const RaceCar& car : races.back().cars) {
            drivers.insert(car.driver);
            replayNames.insert(car.replayName);
        }
        // Refused before the tables are made: their memory grows with both.
        if (drivers.size() * season.rounds.size() > maxStandingsCells)
            throw SeasonFileError(formatText(
                "%s: %d drivers or more over %d rounds are more than the standings hold (%d drivers x rounds)",
                season.path, drivers.size(), season.rounds.size(), maxStandingsCells));
    }
    warnOfUnusedAliases(season, replayNames, diagnostics);
    return computeStandings(season, races);
}
