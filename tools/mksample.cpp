// mksample: writes the bundled sample weekend, a Grand Prix Legends replay of
// one hour of practice and a 30-lap race at Monza in the 1967 cars, and the
// GEM+ carset file that names those cars.
//
// Usage: mksample <output-dir>
//
// All variation comes from one fixed seed and integer arithmetic, so every
// run on every platform writes the same bytes; tests/sample_test.cpp holds
// the committed files in examples/ to that.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cstbuilder.h"
#include "encoded_text.h"
#include "rpybuilder.h"

namespace {

using rpybuilder::lapWord;
using rpybuilder::offTrack;
using rpybuilder::invalid;

constexpr const char* replayName = "monza67.rpy";
constexpr const char* carsetName = "gem67.cst";
constexpr const char* carsetDir = "gem67";

// xorshift32: small, and unlike the std::random distributions it gives the
// same numbers with every standard library.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(seed) {}

    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // A value in [lo, hi]; the slight modulo bias doesn't matter here.
    std::int32_t between(std::int32_t lo, std::int32_t hi) {
        const auto span = static_cast<std::uint32_t>(hi - lo) + 1u;
        return lo + static_cast<std::int32_t>(next() % span);
    }
    bool oneIn(std::uint32_t n) { return next() % n == 0; }

private:
    std::uint32_t state_;
};

// The seven makes of the 1967 field, by car index.
struct Make {
    std::int32_t paceMs;  // a clean race lap at Monza on a half-full tank
    std::array<std::uint8_t, 3> colour;
};

constexpr std::array<Make, 7> makes{{
    {90200, {0x1B, 0x5E, 0x20}},  // 0 Brabham
    {91300, {0x10, 0x40, 0x28}},  // 1 BRM
    {91700, {0x1F, 0x4D, 0x2B}},  // 2 Cooper
    {90000, {0x1C, 0x2E, 0x6E}},  // 3 Eagle
    {90400, {0xC4, 0x12, 0x1B}},  // 4 Ferrari
    {89600, {0x0B, 0x4F, 0x24}},  // 5 Lotus
    {90500, {0xF0, 0xEE, 0xE6}},  // 6 Honda
}};

// A race incident on one lap of one car.
enum class Incident { none, spin, cut, spinAndCut, pitStop };

struct Entrant {
    const char* firstName;  // UTF-8 here, Windows-1252 in the replay
    const char* lastName;
    std::uint32_t nationality;
    std::uint32_t carIndex;
    std::int32_t number;
    std::int32_t skillMs;        // slower than the car's pace per lap
    std::uint8_t gemMinor = 3;   // tagged by GEM+ 2.<minor>.<patch>
    std::uint8_t gemPatch = 1;
    int retiresAfter = -1;       // laps completed before retiring; -1 finishes
    int incidentLap = 0;
    Incident incident = Incident::none;
    bool noValidPractice = false;  // spent practice off the road
};

// Entry-list order, as the game wrote it: not by car number.
const std::vector<Entrant>& entrants() {
    static const std::vector<Entrant> list{
        {"Alastair", "Dunmore", 12, 5, 20, 0},
        {"Renzo", "Bellandi", 14, 5, 22, 900},
        {"Denis", "Fairweather", 20, 0, 16, 250},
        {"Colin", "Marsden", 1, 0, 18, 650},
        {"Niccolò", "Ferrandi", 14, 4, 2, 350},
        {"Étienne", "Marchaud", 10, 4, 4, 800, 2, 4, -1, 22, Incident::spinAndCut},
        {"Hank", "Loughran", 26, 3, 8, 150, 3, 1, -1, 14, Incident::cut},
        {"Walt", "Brennecke", 26, 3, 10, 1400, 3, 1, 0},  // crashed on the opening lap
        {"Piers", "Wetherby", 12, 1, 32, 450},
        {"Björn", "Åkerlund", 24, 1, 34, 700, 2, 4, 11},  // H16 let go
        {"Jürgen", "Hallbach", 11, 1, 36, 1200, 3, 1, -1, 5, Incident::spin},
        {"Ramón", "Ibáñez", 16, 2, 28, 500},
        {"Lucien", "Vandermeulen", 3, 2, 30, 900, 3, 1, 23},  // gearbox
        {"Søren", "Kjældgaard", 8, 2, 12, 1800, 2, 4, -1, 20, Incident::spin},
        {"Kenji", "Moriyama", 15, 6, 14, 300},
        {"François", "Duvernet", 10, 0, 6, 1600},
        {"Tomás", "Echeverría", 0, 4, 24, 1400, 3, 1, 17, 17, Incident::spin},
        {"Urs", "Zürcher", 25, 5, 26, 2000, 3, 1, -1, 9, Incident::pitStop},
        {"Henrik", "Mäkelä", 9, 3, 38, 1700, 3, 1, -1, 0, Incident::none, true},
    };
    return list;
}

constexpr std::uint32_t practiceMs = 3600 * 1000;
constexpr int raceLaps = 30;
constexpr std::uint32_t raceStartMs = 30 * 1000;  // green light after the grid forms

std::int32_t pace(const Entrant& e) { return makes.at(e.carIndex).paceMs + e.skillMs; }

std::uint32_t advance(std::uint32_t clock, std::int32_t lapMs) {
    if (lapMs <= 0) throw std::logic_error("lap time must be positive");
    return clock + static_cast<std::uint32_t>(lapMs);
}

// ---- Practice --------------------------------------------------------------

// Runs of a few flying laps between pit stops. The box lies past the line,
// so the lap that holds a stop is out-lap plus standing time; the game marks
// it invalid.
std::vector<std::uint32_t> practiceLaps(const Entrant& e, Rng& rng) {
    std::vector<std::uint32_t> laps;
    const std::int32_t lowFuelPace = pace(e) - 500;

    if (e.noValidPractice) {
        // Out late, spun and cut across the grass, limped back the short way.
        std::uint32_t t = static_cast<std::uint32_t>(rng.between(2'900'000, 3'000'000));
        t = advance(t, lowFuelPace + 11'000);
        laps.push_back(lapWord(t));
        t = advance(t, lowFuelPace + rng.between(9'000, 14'000));
        laps.push_back(lapWord(t, offTrack | invalid));
        t = advance(t, lowFuelPace + rng.between(30'000, 40'000));
        laps.push_back(lapWord(t, invalid));
        return laps;
    }

    std::uint32_t t = static_cast<std::uint32_t>(rng.between(90'000, 900'000));
    for (int run = 0;; ++run) {
        const std::int32_t outLap = lowFuelPace + rng.between(9'000, 12'000);
        if (run == 0) {
            t = advance(t, outLap);
            laps.push_back(lapWord(t));
        } else {
            const std::int32_t standing = rng.between(150'000, 540'000);
            if (t + static_cast<std::uint32_t>(standing + outLap + 3 * lowFuelPace) > practiceMs) break;
            t = advance(t, standing + outLap);
            laps.push_back(lapWord(t, invalid));
        }
        const int flying = rng.between(3, 6);
        for (int i = 0; i < flying; ++i) {
            std::int32_t lap = lowFuelPace + rng.between(-450, 700) - 250 * run;
            if (i == 0) lap += rng.between(300, 1200);  // tyres still coming in
            std::uint8_t flags = 0;
            if (rng.oneIn(16)) {
                lap += rng.between(3'000, 9'000);
                flags = offTrack;
            } else if (rng.oneIn(25)) {
                lap -= rng.between(800, 2'000);  // cut the corner: fast but void
                flags = invalid;
            }
            if (t + static_cast<std::uint32_t>(lap) > practiceMs) break;
            t = advance(t, lap);
            laps.push_back(lapWord(t, flags));
        }
        const std::int32_t inLap = lowFuelPace + rng.between(6'000, 9'000);
        if (t + static_cast<std::uint32_t>(inLap) > practiceMs) break;
        t = advance(t, inLap);
        laps.push_back(lapWord(t));
    }
    return laps;
}

// Best valid lap of each car, 0 for none: the grid order.
std::uint32_t bestValidLap(const std::vector<std::uint32_t>& laps) {
    std::uint32_t best = 0;
    for (std::size_t i = 1; i < laps.size(); ++i) {
        if ((laps[i] >> 24) & invalid) continue;
        const std::uint32_t lap = (laps[i] & 0xFFFFFFu) - (laps[i - 1] & 0xFFFFFFu);
        if (best == 0 || lap < best) best = lap;
    }
    return best;
}

// ---- Race ------------------------------------------------------------------

// Every car's crossings until it retires or takes the flag: the race ends for
// a car at its first crossing once the winner has finished, so lapped cars
// complete the lap they are on.
std::vector<std::vector<std::uint32_t>> raceLapsByCar(const std::vector<std::size_t>& grid, Rng& rng) {
    const auto& field = entrants();
    std::vector<std::vector<std::uint32_t>> laps(field.size());
    for (std::size_t slot = 0; slot < grid.size(); ++slot) {
        const std::size_t car = grid[slot];
        const Entrant& e = field[car];
        const auto row = static_cast<std::int32_t>(slot / 2);
        std::uint32_t t = advance(raceStartMs, 1'200 + row * 760 + rng.between(0, 250));
        laps[car].push_back(lapWord(t));
        const int lapsRun = e.retiresAfter >= 0 ? e.retiresAfter : raceLaps;
        for (int k = 1; k <= lapsRun; ++k) {
            std::int32_t lap = pace(e) + (raceLaps - k) * 30 + rng.between(-350, 650);
            if (k == 1) lap += 3'500 + static_cast<std::int32_t>(slot) * 140;  // standing start, traffic
            std::uint8_t flags = 0;
            const Incident incident = k == e.incidentLap ? e.incident : Incident::none;
            if (incident == Incident::spin || (incident == Incident::none && rng.oneIn(90))) {
                lap += rng.between(4'000, 12'000);
                flags = offTrack;
            } else if (incident == Incident::cut) {
                lap -= 1'600;
                flags = invalid;
            } else if (incident == Incident::spinAndCut) {
                lap += rng.between(2'000, 5'000);
                flags = offTrack | invalid;
            } else if (incident == Incident::pitStop) {
                lap += 68'000;  // misfire: into the pits for new plugs
            }
            t = advance(t, lap);
            laps[car].push_back(lapWord(t, flags));
        }
    }

    std::uint32_t finish = 0xFFFFFFu;
    for (const auto& car : laps) {
        if (car.size() == static_cast<std::size_t>(raceLaps) + 1) finish = std::min(finish, car.back() & 0xFFFFFFu);
    }
    for (auto& car : laps) {
        auto flag = std::find_if(car.begin(), car.end(),
                                 [finish](std::uint32_t w) { return (w & 0xFFFFFFu) >= finish; });
        if (flag != car.end()) car.erase(flag + 1, car.end());
    }
    return laps;
}

// ---- The files -------------------------------------------------------------

std::string windows1252(const char* utf8) { return toMultiByte(utf8, 1252); }

rpybuilder::ReplaySpec sampleReplay() {
    using namespace rpybuilder;
    Rng rng(0x1967'0910u);
    const auto& field = entrants();

    ReplaySpec spec;
    spec.root.version = 0x2402;  // low byte 2: the game's own replays
    spec.header.track = "monza";
    spec.header.saverName = "GPL";
    spec.header.saverVersion = "1.2.0.2";
    spec.header.firstSession = 0;
    spec.weekend.track = "monza";
    spec.weekend.carset = carsetDir;
    spec.weekend.sessions = {{SessionType::PRACTICE, 32767, practiceMs / 1000.0},
                             {SessionType::RACE, raceLaps, 604800.0}};
    spec.weekend.tail = {0x01, 0x00, 0x00};

    for (std::size_t i = 0; i < field.size(); ++i) {
        const Entrant& e = field[i];
        DriverSpec d;
        d.firstName = windows1252(e.firstName);
        d.lastName = windows1252(e.lastName);
        d.word32 = 100 - e.skillMs / 100;
        d.nationality = e.nationality;
        d.tag = tagBytes(82, e.gemMinor, e.gemPatch);
        d.driverId = static_cast<std::int32_t>((i * 7 + 3) % field.size());
        d.carIndex = e.carIndex;
        d.carClass = 3;
        d.colour = makes.at(e.carIndex).colour;
        d.byte119 = 1;
        d.word120 = static_cast<std::int32_t>(i);
        d.carId = static_cast<std::int32_t>(i);
        d.number = e.number;
        d.word132 = -1;
        d.byte138 = i == 0 ? 1 : 0;
        spec.drivers.push_back(d);
    }

    SessionSpec practice;
    std::vector<std::uint32_t> best(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        CarSpec car{static_cast<std::int32_t>(i), practiceLaps(field[i], rng), {}};
        best[i] = bestValidLap(car.laps);
        practice.cars.push_back(car);
    }
    spec.sessions.push_back(practice);

    // Grid by practice time; cars without one start from the back.
    std::vector<std::size_t> grid(field.size());
    for (std::size_t i = 0; i < grid.size(); ++i) grid[i] = i;
    std::stable_sort(grid.begin(), grid.end(), [&best](std::size_t a, std::size_t b) {
        if ((best[a] == 0) != (best[b] == 0)) return best[b] == 0;
        return best[a] < best[b];
    });
    SessionSpec race;
    const auto crossings = raceLapsByCar(grid, rng);
    for (std::size_t i = 0; i < field.size(); ++i)
        race.cars.push_back(CarSpec{static_cast<std::int32_t>(i), crossings[i], {}});
    spec.sessions.push_back(race);

    // The game keeps camera and replay frame data after the sessions; the
    // reader stops at the first chunk that isn't a session.
    std::string cameras;
    for (int i = 0; i < 12; ++i) cameras += u32le(rng.next() % 40) + u32le(rng.next());
    std::string frames;
    for (int i = 0; i < 1536; ++i) frames += u32le(rng.next());
    std::string events;
    for (int i = 0; i < 24; ++i) events += u16le(static_cast<std::uint16_t>(rng.next() % 19)) + u16le(static_cast<std::uint16_t>(i));
    spec.trailing = chunk("SMAC", 1, cameras) + chunk("MRFR", 3, frames) + chunk("TNVE", 1, events);
    return spec;
}

cstbuilder::CarsetSpec sampleCarset() {
    cstbuilder::CarsetSpec spec;
    spec.name = "1967 Grand Prix Season – Works Teams";
    spec.cardir = carsetDir;
    spec.physics = "gpl67";
    spec.shortid = "67";
    spec.year = "1967";
    spec.cars = {
        {0, "Brabham Racing Organisation", "Brabham BT24", "Repco 740 V8"},
        {1, "Owen Racing Organisation", "BRM P115", "BRM P75 H16"},
        {2, "Cooper Car Company", "Cooper T86", "Maserati Tipo 10 V12"},
        {3, "Anglo American Racers", "Eagle T1G", "Gurney-Weslake 58 V12"},
        {4, "Scuderia Ferrari SpA SEFAC", "Ferrari 312/67", "Ferrari 242 V12"},
        {5, "Team Lotus", "Lotus 49", "Cosworth DFV V8"},
        {6, "Honda Racing", "Honda RA300", "Honda RA273E V12"},
    };
    return spec;
}

// ---- The season ------------------------------------------------------------

// Five rounds of a league season in the same cars, holding what the
// standings are there to show: an alias, a time penalty that changes a
// result, a disqualification, a driver who missed a round, dropped rounds,
// a car not classified, and a title decided on count-back.

constexpr const char* seasonDir = "season";
constexpr const char* seasonFile = "season.ini";

// Entrants of the sample weekend (indexes into entrants()) who race in the
// league.
enum League : std::size_t {
    DUNMORE = 0, BELLANDI = 1, FAIRWEATHER = 2, MARSDEN = 3, FERRANDI = 4,
    MARCHAUD = 5, LOUGHRAN = 6, BRENNECKE = 7, WETHERBY = 8, MORIYAMA = 14,
};

// A car's race as the round's story wants it.
struct Finish {
    std::size_t driver;
    std::int32_t gapMs = 0; // behind the finisher ahead
    int lapsDone = -1;      // laps completed before retiring; -1 finishes
};

struct SeasonRound {
    const char* file;
    const char* track;
    int laps;
    std::int32_t paceMs;
    std::size_t fastest;          // sets the race's fastest lap
    std::vector<Finish> order;    // as the cars cross the line; retired cars last
    const char* firstName = nullptr; // Dunmore's first name, when the replay has another
};

const std::vector<SeasonRound>& seasonRounds() {
    static const std::vector<SeasonRound> rounds{
        {"01-kyalami.rpy", "kyalami", 16, 84'300, FAIRWEATHER,
         {{DUNMORE}, {FAIRWEATHER, 2'400}, {LOUGHRAN, 6'100}, {BELLANDI, 1'300}, {FERRANDI, 9'800},
          {MARSDEN, 4'400}, {MARCHAUD, 2'900}, {MORIYAMA, 7'700}, {WETHERBY, 12'500}, {BRENNECKE, 0, 3}}},
        {"02-monaco.rpy", "monaco", 20, 89'900, WETHERBY,
         {{FAIRWEATHER}, {LOUGHRAN, 3'200}, {DUNMORE, 21'700}, {FERRANDI, 18'900}, {BELLANDI, 5'200},
          {MARCHAUD, 3'800}, {BRENNECKE, 11'400}, {MARSDEN, 2'100}, {WETHERBY, 16'300}, {MORIYAMA, 0, 11}}},
        {"03-zandvoort.rpy", "zandvoort", 18, 87'200, DUNMORE,
         {{LOUGHRAN}, {DUNMORE, 900}, {BELLANDI, 8'300}, {BRENNECKE, 2'700}, {FAIRWEATHER, 1'100},
          {MARSDEN, 6'600}, {FERRANDI, 3'300}, {MORIYAMA, 14'200}, {MARCHAUD, 4'500}, {WETHERBY, 0, 17}},
         "Al"},
        {"04-spa.rpy", "spa", 8, 212'400, FAIRWEATHER,
         {{DUNMORE}, {FAIRWEATHER, 4'800}, {LOUGHRAN, 12'900}, {MARCHAUD, 27'300}, {MARSDEN, 3'100},
          {BRENNECKE, 19'600}, {FERRANDI, 8'800}, {WETHERBY, 31'400}, {MORIYAMA, 0, 2}}},
        {"05-monza.rpy", "monza", 15, 89'700, DUNMORE,
         {{FAIRWEATHER}, {DUNMORE, 400}, {BELLANDI, 5'900}, {LOUGHRAN, 600}, {FERRANDI, 7'200},
          {MORIYAMA, 3'900}, {MARSDEN, 1'800}, {BRENNECKE, 10'100}, {MARCHAUD, 2'200}, {WETHERBY, 6'400}}},
    };
    return rounds;
}

// Every car's crossings: natural laps with a little noise, then stretched
// evenly so that each finisher crosses the line its gap behind the car
// ahead; the fastest lap is given to its driver without changing his race
// time.
std::vector<std::vector<std::uint32_t>> roundLaps(const SeasonRound& round, Rng& rng) {
    std::vector<std::vector<std::uint32_t>> laps(round.order.size());
    std::uint32_t target = 0;
    for (std::size_t slot = 0; slot < round.order.size(); ++slot) {
        const Finish& f = round.order[slot];
        const int count = f.lapsDone >= 0 ? f.lapsDone : round.laps;
        std::vector<std::int32_t> times;
        for (int k = 1; k <= count; ++k)
            times.push_back(round.paceMs + rng.between(-300, 300) + (k == 1 ? 3'500 + static_cast<std::int32_t>(slot) * 140 : 0));
        const std::uint32_t start = advance(raceStartMs, 1'200 + static_cast<std::int32_t>(slot / 2) * 760);
        if (f.lapsDone < 0) {
            std::uint32_t natural = start;
            for (std::int32_t t : times) natural += static_cast<std::uint32_t>(t);
            target = slot == 0 ? natural : std::max(target + static_cast<std::uint32_t>(f.gapMs), natural);
            const auto stretch = static_cast<std::int32_t>(target - natural);
            for (std::int32_t& t : times) t += stretch / count;
            times.back() += stretch % count;
        }
        laps[slot].push_back(lapWord(start));
        for (std::int32_t t : times) laps[slot].push_back(lapWord(advance(laps[slot].back() & 0xFFFFFFu, t)));
    }

    // The fastest lap: a quarter of a second under every other car's best,
    // the time saved lost on the next lap.
    std::uint32_t best = 0xFFFFFFu;
    std::size_t fastest = 0;
    for (std::size_t slot = 0; slot < laps.size(); ++slot) {
        if (round.order[slot].driver == round.fastest) {
            fastest = slot;
            continue;
        }
        for (std::size_t k = 2; k < laps[slot].size(); ++k)
            best = std::min(best, (laps[slot][k] & 0xFFFFFFu) - (laps[slot][k - 1] & 0xFFFFFFu));
    }
    std::vector<std::uint32_t>& car = laps[fastest];
    const std::size_t k = car.size() / 2;
    const std::uint32_t saved = (car[k] & 0xFFFFFFu) - (car[k - 1] & 0xFFFFFFu) - (best - 250);
    car[k] -= saved;
    return laps;
}

rpybuilder::ReplaySpec roundReplay(const SeasonRound& round, std::uint32_t seed) {
    using namespace rpybuilder;
    Rng rng(seed);
    ReplaySpec spec;
    spec.root.version = 0x2402;
    spec.header.track = round.track;
    spec.header.saverName = "GPL";
    spec.header.saverVersion = "1.2.0.2";
    spec.weekend.track = round.track;
    spec.weekend.carset = carsetDir;
    spec.weekend.sessions = {{SessionType::RACE, round.laps, 604800.0}};
    spec.weekend.tail = {0x01, 0x00, 0x00};

    const std::vector<std::vector<std::uint32_t>> laps = roundLaps(round, rng);
    // The entry list in league order, as the server listed the drivers.
    std::vector<std::size_t> slots(round.order.size());
    for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = i;
    std::sort(slots.begin(), slots.end(),
              [&round](std::size_t a, std::size_t b) { return round.order[a].driver < round.order[b].driver; });
    SessionSpec race;
    for (const std::size_t slot : slots) {
        const std::size_t index = round.order[slot].driver;
        const Entrant& e = entrants().at(index);
        DriverSpec d;
        d.firstName = windows1252(index == DUNMORE && round.firstName ? round.firstName : e.firstName);
        d.lastName = windows1252(e.lastName);
        d.nationality = e.nationality;
        d.tag = tagBytes(82, e.gemMinor, e.gemPatch);
        d.driverId = static_cast<std::int32_t>(index + 1);
        d.carIndex = e.carIndex;
        d.carClass = 3;
        d.colour = makes.at(e.carIndex).colour;
        d.byte119 = 1;
        d.carId = static_cast<std::int32_t>(index);
        d.number = e.number;
        d.word132 = -1;
        spec.drivers.push_back(d);
        race.cars.push_back(CarSpec{d.carId, laps[slot], {}});
    }
    spec.sessions.push_back(race);
    return spec;
}

// The league's logo: a small car on the accent colour.
constexpr const char* seasonLogo =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 64 64\" width=\"64\" height=\"64\">\n"
    "<rect width=\"64\" height=\"64\" rx=\"12\" fill=\"#1f6f43\"/>\n"
    "<path d=\"M12 44h40M12 44l8-24h24l8 24\" fill=\"none\" stroke=\"#fff\" stroke-width=\"4\" "
    "stroke-linejoin=\"round\"/>\n"
    "<circle cx=\"22\" cy=\"46\" r=\"5\" fill=\"#fff\"/><circle cx=\"42\" cy=\"46\" r=\"5\" fill=\"#fff\"/>\n"
    "</svg>\n";

std::string seasonText() {
    std::string text =
        "; A league season in the sample's cars (written by tools/mksample.cpp).\r\n"
        "[Season]\r\n"
        "League=Sunday League     ; the organiser, shown with the season on its site\r\n"
        "Name=Sunday League 1967\r\n"
        "Logo=logo.svg             ; copied into the site (PNG, JPEG or SVG)\r\n"
        "Accent=#1f6f43\r\n"
        "Points=9,6,4,3,2,1        ; for 1st, 2nd, ... of each race\r\n"
        "FastestLap=1              ; bonus for the race's fastest lap,\r\n"
        "FastestLapTop=6           ; when its driver finished in the top 6\r\n"
        "Drop=2                    ; each driver's best 4 of the 6 rounds count\r\n"
        "Classified=90%            ; a car needs 90% of the winner's laps to score\r\n";
    constexpr const char* names[][2] = {{"Kyalami Trophy", "1967-01-02"}, {"Monte Carlo Cup", "1967-05-07"},
                                        {"Dutch Grand Prix", "1967-06-04"}, {"Spa 300", "1967-06-18"},
                                        {"Autodromo Finale", "1967-09-10"}};
    std::size_t number = 0;
    for (const SeasonRound& round : seasonRounds()) {
        text += "\r\n[Round" + std::to_string(number + 1) + "]\r\n";
        text += std::string("Name=") + names[number][0] + "\r\nDate=" + names[number][1] + "\r\n";
        ++number;
        text += std::string("Replay=rounds/") + round.file + "\r\n";
        text += std::string("Carset=../") + carsetName + "\r\n";
    }
    text += "\r\n[Round6]                  ; no replay yet: on the calendar, scoring nothing\r\n"
            "Name=Season Closer\r\nDate=1967-10-22\r\nTrack=Mexico City\r\n";
    text += "\r\n[Aliases]                 ; name in a replay = name in the standings\r\n"
            "Al Dunmore=Alastair Dunmore\r\n"
            "\r\n[Penalties]               ; round.driver = +N s, DSQ, -N or +N points\r\n"
            "2.Hank Loughran=+30s      ; jumped the start\r\n"
            "3.Walt Brennecke=DSQ      ; car under the weight limit\r\n"
            "5.Renzo Bellandi=+2 points ; stopped to help at an accident\r\n";
    return text;
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: mksample <output-dir>\nWrites %s, %s and the season in %s/ into the directory.\n",
                     replayName, carsetName, seasonDir);
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);
        writeBytes(dir / replayName, rpybuilder::buildReplay(sampleReplay()));
        writeBytes(dir / carsetName, cstbuilder::carsetBytes(sampleCarset()));
        const std::filesystem::path season = dir / seasonDir;
        std::filesystem::create_directories(season / "rounds");
        writeBytes(season / seasonFile, seasonText());
        writeBytes(season / "logo.svg", seasonLogo);
        std::uint32_t seed = 0x1967'0101u;
        for (const SeasonRound& round : seasonRounds())
            writeBytes(season / "rounds" / round.file, rpybuilder::buildReplay(roundReplay(round, seed++)));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mksample: %s\n", e.what());
        return 1;
    }
    return 0;
}
