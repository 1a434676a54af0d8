// The official round result: the race's classification after the
// stewards' penalties, scored, from races made here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "season/standings.h"

namespace {

RaceCar car(const char* driver, std::uint32_t laps, std::uint64_t timeMs, std::uint32_t start, bool retired = false) {
    RaceCar c;
    c.driver = c.replayName = driver;
    c.team = "Team";
    c.laps = laps;
    c.timeMs = timeMs;
    c.number = static_cast<std::int16_t>(start + 10);
    c.bestLapMs = 60000;
    c.start = start;
    c.retired = retired;
    return c;
}

// One line per car: position, number, driver, gap or laps behind or DNF,
// start, places gained, points, marks for the fastest lap (*) and the
// bonus (+), the badge.
std::string lines(const OfficialResult& result) {
    std::string out;
    for (const OfficialCar& c : result.cars) {
        const std::string gap = c.retired ? "DNF"
                                : c.lapsBehind != 0 ? "+" + std::to_string(c.lapsBehind) + " laps"
                                                    : std::to_string(c.gapMs);
        out += std::to_string(c.position) + (c.classified ? "" : c.disqualified ? " dsq" : " nc") + " #" +
               std::to_string(c.number) + " " + c.driver + " " + gap + " s" + std::to_string(c.start) + " " +
               std::to_string(c.gained()) + " " + std::to_string(c.points) + "p" + (c.fastestLap ? "*" : "") +
               (c.bonus ? "+" : "") + (c.penalty.empty() ? "" : " [" + c.penalty + "]") + "\n";
    }
    return out;
}

struct Case {
    const char* rule;
    std::string season; // [Season] keys, then after the round
    std::vector<RaceCar> cars;
    std::optional<std::size_t> fastest;
    std::string expected;
};

} // namespace

TEST(OfficialResult, PenaltiesBonusesAndPlaces) {
    const std::vector<Case> cases{
        {"start and places gained; a lapped car shows its laps, a retired one DNF",
         "Points=3,2,1\n",
         {car("Ann", 10, 600000, 3), car("Bob", 10, 612345, 1), car("Cat", 9, 590000, 2), car("Dan", 4, 200000, 4, true)},
         std::nullopt,
         "1 #13 Ann 0 s3 2 3p\n2 #11 Bob 12345 s1 -1 2p\n3 #12 Cat +1 laps s2 -1 1p\n4 #14 Dan DNF s4 0 0p\n"},
        {"seconds added re-rank cars on equal laps; the gap counts them",
         "Points=3,2,1\n[Round1]\nReplay=r.rpy\n[Penalties]\n1.Ann=+30s\n1.Bob=+0.5 s\n",
         {car("Ann", 10, 600000, 1), car("Bob", 10, 610000, 2), car("Cat", 10, 620000, 3)}, std::nullopt,
         "1 #12 Bob 0 s2 1 3p [+0.5 s]\n2 #13 Cat 9500 s3 1 2p\n3 #11 Ann 19500 s1 -2 1p [+30 s]\n"},
        {"a DSQ goes last without a place, the others move up; its fastest lap earns no bonus",
         "Points=3,2,1\nFastestLap=1\n[Round1]\nReplay=r.rpy\n[Penalties]\n1.Ann=DSQ\n",
         {car("Ann", 10, 600000, 1), car("Bob", 10, 610000, 2), car("Cat", 9, 620000, 3)}, 0,
         "1 #12 Bob 0 s2 1 3p\n2 #13 Cat +1 laps s3 1 2p\n0 dsq #11 Ann 0 s1 0 0p* [DSQ]\n"},
        {"the fastest-lap bonus and points penalties and bonuses; short of laps scores nothing",
         "Points=3,2,1\nFastestLap=1\nClassified=50%\n[Round1]\nReplay=r.rpy\n[Penalties]\n1.Ann=-5 points\n"
         "1.Bob=+1 point\n",
         {car("Ann", 10, 600000, 1), car("Bob", 10, 610000, 2), car("Cat", 4, 620000, 3)}, 1,
         "1 #11 Ann 0 s1 0 -2p [-5 points]\n2 #12 Bob 10000 s2 0 4p*+ [+1 point]\n3 nc #13 Cat +6 laps s3 0 0p\n"},
    };
    for (const Case& c : cases) {
        std::string text = "[Season]\n" + c.season;
        if (text.find("[Round1]") == std::string::npos) text += "[Round1]\nReplay=r.rpy\n";
        const SeasonFile season = parseSeasonFile(text, "s.ini");
        RoundRace race;
        race.number = 1;
        race.cars = c.cars;
        race.fastestLap = c.fastest;
        const Standings standings = computeStandings(season, {race});
        ASSERT_EQ(standings.official.size(), 1u) << c.rule;
        EXPECT_EQ(lines(standings.official.front()), c.expected) << c.rule;
    }
}
