#include "season/standings.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <stdexcept>
#include <unordered_map>

#include "text/format.h"

namespace {

// What ranks competitors with equal points: their positions over all rounds
// (dropped ones included) and their best position in each round they were
// placed in.
struct Record {
    std::string name;
    std::int64_t points = 0;
    std::vector<std::uint32_t> placings; // [p]: how often placed p (from 1)
    std::vector<std::pair<std::size_t, std::uint32_t>> bestByRound; // (round, best position), in round order

    explicit Record(std::string n) : name(std::move(n)) {}

    // Rounds come in order.
    void place(std::size_t round, std::uint32_t position) {
        if (placings.size() <= position) placings.resize(position + 1, 0);
        ++placings[position];
        if (bestByRound.empty() || bestByRound.back().first != round) bestByRound.emplace_back(round, position);
        else bestByRound.back().second = std::min(bestByRound.back().second, position);
    }
};

// Points, then count-back (more wins, then more second places ...), then
// the better position in the latest round, the round before and so on (a
// placed competitor before one who was not), then the name.
bool ranksBefore(const Record& a, const Record& b) {
    if (a.points != b.points) return a.points > b.points;
    const std::size_t places = std::max(a.placings.size(), b.placings.size());
    for (std::size_t p = 1; p < places; ++p) {
        const std::uint32_t ca = p < a.placings.size() ? a.placings[p] : 0;
        const std::uint32_t cb = p < b.placings.size() ? b.placings[p] : 0;
        if (ca != cb) return ca > cb;
    }
    auto ia = a.bestByRound.rbegin();
    auto ib = b.bestByRound.rbegin();
    while (ia != a.bestByRound.rend() || ib != b.bestByRound.rend()) {
        if (ib == b.bestByRound.rend() || (ia != a.bestByRound.rend() && ia->first > ib->first)) return true;
        if (ia == a.bestByRound.rend() || ib->first > ia->first) return false;
        if (ia->second != ib->second) return ia->second < ib->second;
        ++ia;
        ++ib;
    }
    return a.name < b.name;
}

// Indexes of the records in ranking order.
std::vector<std::size_t> rankingOrder(const std::vector<Record>& records) {
    std::vector<std::size_t> order(records.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&records](std::size_t a, std::size_t b) { return ranksBefore(records[a], records[b]); });
    return order;
}

// A competitor's slot, made on first sight.
template <class Standing>
std::size_t slotOf(const std::string& name, std::unordered_map<std::string, std::size_t>& index,
                   std::vector<Record>& records, std::vector<Standing>& standings) {
    const auto [it, fresh] = index.try_emplace(name, records.size());
    if (fresh) {
        records.emplace_back(name);
        standings.emplace_back();
    }
    return it->second;
}

class RoundScorer {
public:
    RoundScorer(const SeasonFile& season, const RoundRace& race, const std::vector<const Penalty*>& penalties)
        : season_(season), race_(race) {
        checkNames();
        penalties_.resize(race.cars.size());
        for (const Penalty* p : penalties) apply(*p);
    }

    // Each car's result, by car, from the order classificationOrder() gives.
    std::vector<RoundResult> results(const std::vector<std::size_t>& order) const {
        const ScoringRules& rules = season_.rules;
        std::vector<RoundResult> results(race_.cars.size());
        const std::uint64_t winnerLaps = order.empty() ? 0 : race_.cars[order.front()].laps;
        std::uint32_t position = 0;
        for (const std::size_t car : order) {
            RoundResult& r = results[car];
            ++position;
            const bool classified =
                !rules.classifiedPercent || std::uint64_t(race_.cars[car].laps) * 100 >= *rules.classifiedPercent * winnerLaps;
            if (!classified) {
                r.status = RoundStatus::NOT_CLASSIFIED;
                continue;
            }
            r.status = RoundStatus::CLASSIFIED;
            r.position = position;
            if (position <= rules.points.size()) r.points = rules.points[position - 1];
        }
        if (race_.fastestLap) {
            RoundResult& r = results[*race_.fastestLap];
            if (r.status == RoundStatus::CLASSIFIED && (!rules.fastestLapTop || r.position <= *rules.fastestLapTop) &&
                rules.fastestLap != 0) {
                r.points += rules.fastestLap;
                r.fastestLap = true;
            }
        }
        for (std::size_t car = 0; car < results.size(); ++car) {
            if (penalties_[car].disqualified) results[car].status = RoundStatus::DISQUALIFIED;
            results[car].adjustment = -penalties_[car].points;
            results[car].points += results[car].adjustment;
        }
        return results;
    }

private:
    // Two cars of a round cannot share a driver: one result would be lost.
    void checkNames() {
        for (std::size_t car = 0; car < race_.cars.size(); ++car) {
            const RaceCar& c = race_.cars[car];
            const auto [it, fresh] = byDriver_.try_emplace(c.driver, car);
            if (fresh) continue;
            const RaceCar& other = race_.cars[it->second];
            if (other.replayName == c.replayName)
                throw std::runtime_error(
                    formatText("Round %d: two cars are driven by '%s'", race_.number, c.replayName));
            const std::string& aliased = season_.aliases.count(c.replayName) ? c.replayName : other.replayName;
            throw SeasonFileError(season_.message(
                season_.aliases.at(aliased).line,
                formatText("'%s' and '%s' both race in round %d, and the aliases make them one driver, '%s'",
                           other.replayName, c.replayName, race_.number, c.driver)));
        }
    }

    void apply(const Penalty& p) {
        const auto it = byDriver_.find(p.driver);
        if (it == byDriver_.end())
            throw SeasonFileError(
                season_.message(p.line, formatText("penalty for '%s', who did not race in round %d", p.driver, p.round)));
        CarPenalties& car = penalties_[it->second];
        switch (p.kind) {
        case Penalty::Kind::TIME: car.addedMs += static_cast<std::uint64_t>(p.amount); break;
        case Penalty::Kind::DISQUALIFICATION: car.disqualified = true; break;
        case Penalty::Kind::POINTS: car.points += p.amount; break;
        }
    }

public:
    const std::vector<CarPenalties>& penalties() const { return penalties_; }

    // The replay's classification after the penalties: cars with equal
    // laps ranked again by their time with the seconds added, disqualified
    // cars left out.
    std::vector<std::size_t> classificationOrder() const {
        const std::vector<RaceCar>& cars = race_.cars;
        std::vector<std::size_t> order(cars.size());
        std::iota(order.begin(), order.end(), 0);
        auto time = [&](std::size_t car) { return cars[car].timeMs + penalties_[car].addedMs; };
        for (std::size_t first = 0; first < order.size();) {
            std::size_t end = first + 1;
            while (end < order.size() && cars[order[end]].laps == cars[order[first]].laps) ++end;
            const bool penalised = std::any_of(order.begin() + static_cast<std::ptrdiff_t>(first),
                                               order.begin() + static_cast<std::ptrdiff_t>(end),
                                               [&](std::size_t car) { return penalties_[car].addedMs != 0; });
            if (penalised)
                std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(first),
                                 order.begin() + static_cast<std::ptrdiff_t>(end),
                                 [&](std::size_t a, std::size_t b) { return time(a) < time(b); });
            first = end;
        }
        std::erase_if(order, [&](std::size_t car) { return penalties_[car].disqualified; });
        return order;
    }

private:
    const SeasonFile& season_;
    const RoundRace& race_;
    std::unordered_map<std::string, std::size_t> byDriver_;
    std::vector<CarPenalties> penalties_;
};

// Marks each driver's N lowest round scores as dropped (of equal scores the
// earliest round first; an absent round scores 0) and returns the sum of the
// others. The scores are the races': a points penalty or bonus counts
// whichever round drops, so a penalty never takes its round out of the
// count with it. An absent round that drops is added to the results, marked.
std::int64_t countedPoints(std::vector<RoundResult>& results, std::size_t rounds, std::uint32_t drop) {
    const auto racePoints = [](const RoundResult& r) { return r.points - r.adjustment; };
    std::vector<std::size_t> byScore(results.size());
    std::iota(byScore.begin(), byScore.end(), 0);
    std::stable_sort(byScore.begin(), byScore.end(),
                     [&](std::size_t a, std::size_t b) { return racePoints(results[a]) < racePoints(results[b]); });
    // The absent rounds, in order: the rounds that no result holds.
    std::size_t held = 0;
    const auto absentFrom = [&](std::size_t round) {
        while (held < results.size() && results[held].round < round) ++held;
        for (; held < results.size() && results[held].round == round; ++held) ++round;
        return round;
    };
    std::vector<RoundResult> absentDropped;
    std::size_t next = 0;
    std::size_t absent = absentFrom(0);
    for (std::uint32_t k = 0; k < drop; ++k) {
        const bool haveHeld = next < byScore.size();
        if (!haveHeld && absent >= rounds) break;
        if (haveHeld) {
            const RoundResult& r = results[byScore[next]];
            const std::int64_t points = racePoints(r);
            if (absent >= rounds || points < 0 || (points == 0 && r.round < absent)) {
                results[byScore[next++]].dropped = true;
                continue;
            }
        }
        RoundResult& r = absentDropped.emplace_back();
        r.round = absent;
        r.dropped = true;
        absent = absentFrom(absent + 1);
    }
    std::int64_t total = 0;
    for (const RoundResult& r : results) total += r.dropped ? r.adjustment : r.points;
    if (!absentDropped.empty()) {
        const auto middle = static_cast<std::ptrdiff_t>(results.size());
        results.insert(results.end(), absentDropped.begin(), absentDropped.end());
        std::inplace_merge(results.begin(), results.begin() + middle, results.end(),
                           [](const RoundResult& a, const RoundResult& b) { return a.round < b.round; });
    }
    return total;
}

template <class Standing>
std::vector<Standing> ranked(std::vector<Standing>& standings, const std::vector<Record>& records) {
    std::vector<Standing> out;
    out.reserve(standings.size());
    for (const std::size_t i : rankingOrder(records)) out.push_back(std::move(standings[i]));
    return out;
}

} // namespace

Standings computeStandings(const SeasonFile& season, const std::vector<RoundRace>& races) {
    Standings standings;
    standings.season = season.name;
    standings.identity = season.identity;
    const std::size_t rounds = races.size();
    const std::size_t counted = season.rounds.size() - std::min<std::size_t>(season.rules.drop, season.rounds.size());
    const auto drop = static_cast<std::uint32_t>(rounds > counted ? rounds - counted : 0);
    standings.countedRounds = counted;
    std::map<std::uint32_t, const SeasonRound*> byNumber;
    for (const SeasonRound& round : season.rounds) {
        byNumber.emplace(round.number, &round);
        if (round.replay.empty())
            standings.upcoming.push_back(RoundInfo{round.number, "", "", round.track, round.name, round.date});
    }

    std::unordered_map<std::string, std::size_t> driverIndex;
    std::vector<Record> driverRecords;
    std::vector<DriverStanding> drivers;
    std::unordered_map<std::string, std::size_t> teamIndex;
    std::vector<Record> teamRecords;
    std::vector<TeamStanding> teams;

    std::map<std::uint32_t, std::vector<const Penalty*>> penalties; // by round
    for (const Penalty& p : season.penalties) penalties[p.round].push_back(&p);
    const std::vector<const Penalty*> none;

    for (std::size_t round = 0; round < rounds; ++round) {
        const RoundRace& race = races[round];
        RoundInfo info{race.number, publishedReplay(race.replay), race.replayPath, race.track, "", ""};
        if (const auto it = byNumber.find(race.number); it != byNumber.end()) {
            if (!it->second->track.empty()) info.track = it->second->track;
            info.name = it->second->name;
            info.date = it->second->date;
        }
        standings.rounds.push_back(std::move(info));
        const auto roundPenalties = penalties.find(race.number);
        const RoundScorer scorer(season, race, roundPenalties == penalties.end() ? none : roundPenalties->second);
        const std::vector<std::size_t> order = scorer.classificationOrder();
        const std::vector<RoundResult> results = scorer.results(order);
        standings.official.push_back(officialResult(race, order, results, scorer.penalties()));
        for (std::size_t car = 0; car < race.cars.size(); ++car) {
            const RaceCar& c = race.cars[car];
            RoundResult result = results[car];
            result.round = round;

            const std::size_t d = slotOf(c.driver, driverIndex, driverRecords, drivers);
            drivers[d].results.push_back(result);
            if (result.status == RoundStatus::CLASSIFIED) driverRecords[d].place(round, result.position);

            const std::size_t t = slotOf(c.team, teamIndex, teamRecords, teams);
            std::vector<std::pair<std::size_t, std::int64_t>>& teamRounds = teams[t].rounds;
            if (teamRounds.empty() || teamRounds.back().first != round) teamRounds.emplace_back(round, 0);
            teamRounds.back().second += result.points;
            teamRecords[t].points += result.points;
            if (result.status == RoundStatus::CLASSIFIED) teamRecords[t].place(round, result.position);
        }
    }

    for (std::size_t d = 0; d < drivers.size(); ++d) {
        drivers[d].driver = driverRecords[d].name;
        drivers[d].points = driverRecords[d].points = countedPoints(drivers[d].results, rounds, drop);
    }
    for (std::size_t t = 0; t < teams.size(); ++t) {
        teams[t].team = teamRecords[t].name;
        teams[t].points = teamRecords[t].points;
    }
    standings.drivers = ranked(drivers, driverRecords);
    standings.teams = ranked(teams, teamRecords);
    return standings;
}

std::vector<std::int64_t> pointsAfterEachRound(const Standings& standings, const DriverStanding& driver) {
    std::vector<std::int64_t> totals;
    totals.reserve(standings.rounds.size());
    std::vector<RoundResult> held; // the rounds raced up to the one in hand, as scored, none dropped
    std::int64_t sum = 0;
    auto next = driver.results.begin();
    for (std::size_t k = 1; k <= standings.rounds.size(); ++k) {
        for (; next != driver.results.end() && next->round < k; ++next) {
            if (next->status == RoundStatus::ABSENT) continue; // an absent round Drop marked at the end
            held.push_back(*next);
            held.back().dropped = false;
            sum += next->points;
        }
        if (k <= standings.countedRounds) {
            totals.push_back(sum);
        } else {
            std::vector<RoundResult> scored = held;
            totals.push_back(countedPoints(scored, k, static_cast<std::uint32_t>(k - standings.countedRounds)));
        }
    }
    return totals;
}

const char* statusName(RoundStatus status) {
    switch (status) {
    case RoundStatus::CLASSIFIED: return "classified";
    case RoundStatus::NOT_CLASSIFIED: return "not classified";
    case RoundStatus::DISQUALIFIED: return "DSQ";
    case RoundStatus::ABSENT: break;
    }
    return "absent";
}

RoundResult DriverStanding::in(std::size_t i) const {
    const auto it = std::lower_bound(results.begin(), results.end(), i,
                                     [](const RoundResult& r, std::size_t round) { return r.round < round; });
    if (it != results.end() && it->round == i) return *it;
    RoundResult absent;
    absent.round = i;
    return absent;
}

std::optional<std::int64_t> TeamStanding::in(std::size_t i) const {
    const auto it = std::lower_bound(rounds.begin(), rounds.end(), i,
                                     [](const auto& r, std::size_t round) { return r.first < round; });
    if (it != rounds.end() && it->first == i) return it->second;
    return std::nullopt;
}

std::string publishedReplay(const std::string& replay) {
    // Absolute on any system: "/...", "\\...", "C:...".
    const bool absolute = replay.starts_with('/') || replay.starts_with('\\') ||
                          (replay.size() >= 2 && replay[1] == ':' &&
                           ((replay[0] >= 'A' && replay[0] <= 'Z') || (replay[0] >= 'a' && replay[0] <= 'z')));
    if (!absolute) return replay;
    return replay.substr(replay.find_last_of("/\\:") + 1);
}
