#include "season/official_result.h"

#include "season/standings.h"
#include "text/format.h"

std::int64_t OfficialCar::gained() const {
    if (!classified || start == 0) return 0;
    return static_cast<std::int64_t>(start) - static_cast<std::int64_t>(position);
}

std::string penaltyBadge(const CarPenalties& penalties) {
    std::string badge;
    const auto add = [&badge](const std::string& part) { badge += (badge.empty() ? "" : ", ") + part; };
    if (penalties.addedMs != 0) {
        std::string seconds = formatText("%d.%03d", penalties.addedMs / 1000, penalties.addedMs % 1000);
        while (seconds.back() == '0') seconds.pop_back();
        if (seconds.back() == '.') seconds.pop_back();
        add("+" + seconds + " s");
    }
    if (penalties.disqualified) add("DSQ");
    if (penalties.points != 0) {
        const std::int64_t given = -penalties.points;
        const std::uint64_t size = static_cast<std::uint64_t>(given < 0 ? -given : given);
        add(formatText("%s%d point%s", given < 0 ? "-" : "+", size, size == 1 ? "" : "s"));
    }
    return badge;
}

OfficialResult officialResult(const RoundRace& race, const std::vector<std::size_t>& order,
                              const std::vector<RoundResult>& results, const std::vector<CarPenalties>& penalties) {
    OfficialResult out;
    out.round = race.number;
    const auto car = [&](std::size_t index, std::uint32_t position) {
        const RaceCar& c = race.cars[index];
        const RoundResult& r = results[index];
        OfficialCar o;
        o.position = position;
        o.classified = r.status == RoundStatus::CLASSIFIED;
        o.disqualified = r.status == RoundStatus::DISQUALIFIED;
        o.number = c.number;
        o.driver = c.driver;
        o.team = c.team;
        o.laps = c.laps;
        o.timeMs = c.timeMs + penalties[index].addedMs;
        o.retired = c.retired;
        o.bestLapMs = c.bestLapMs;
        o.fastestLap = race.fastestLap == index;
        o.start = c.start;
        o.points = r.points;
        o.bonus = r.fastestLap;
        o.penalty = penaltyBadge(penalties[index]);
        return o;
    };
    std::uint32_t position = 0;
    for (const std::size_t index : order) out.cars.push_back(car(index, ++position));
    if (!out.cars.empty()) {
        const OfficialCar leader = out.cars.front();
        for (OfficialCar& o : out.cars) {
            o.lapsBehind = leader.laps - o.laps;
            if (o.lapsBehind == 0 && o.timeMs > leader.timeMs) o.gapMs = o.timeMs - leader.timeMs;
        }
    }
    for (std::size_t index = 0; index < race.cars.size(); ++index)
        if (penalties[index].disqualified) out.cars.push_back(car(index, 0));
    return out;
}
