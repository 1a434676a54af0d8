#include "season/season.h"

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

RoundRace readRound(const SeasonFile& season, const SeasonRound& round, Diagnostics& diagnostics) {
    const std::string name = formatText("Round %d", round.number);
    const std::string where = formatText("%s (%s)", name, round.replayPath);
    if (!round.carsetPath.empty() && !isFile(round.carsetPath))
        throw SeasonFileError(season.message(round.carsetLine, formatText("cannot read %s: no such file", round.carsetPath)));
    if (!isFile(round.replayPath)) throw std::runtime_error(formatText("%s: cannot read %s: no such file", name, round.replayPath));
    RoundDiagnostics roundDiagnostics(name, diagnostics);
    try {
        const ReplayFile file(round.replayPath);
        const Weekend weekend = buildWeekend(file, CarsetChoice{round.carsetPath, false}, roundDiagnostics);
        return roundRace(weekend, season, round);
    } catch (const CarsetError& e) {
        throw SeasonFileError(season.message(round.carsetLine, e.what()));
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(formatText("%s: %s", where, e.what()));
    }
}

} // namespace

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
    out.cars.reserve(results.size());
    for (const RaceResult& r : results) {
        const Entry& entry = entries.find(r.carId);
        RaceCar car;
        car.replayName = displayName(entry.drivers.find(r.driverId));
        car.driver = season.standingsName(car.replayName);
        car.team = entry.team;
        car.laps = r.laps;
        car.timeMs = r.clock;
        if (!fastest.empty() && !out.fastestLap && fastest.front().carId == r.carId) out.fastestLap = out.cars.size();
        out.cars.push_back(std::move(car));
    }
    return out;
}

Standings loadSeason(const std::string& seasonPath, Diagnostics& diagnostics) {
    const SeasonFile season = readSeasonFile(seasonPath);
    std::vector<RoundRace> races;
    races.reserve(season.rounds.size());
    for (const SeasonRound& round : season.rounds) races.push_back(readRound(season, round, diagnostics));
    return computeStandings(season, races);
}
