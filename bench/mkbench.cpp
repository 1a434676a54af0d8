// mkbench: writes the replays tools/bench.sh times.
//
// Usage: mkbench <output-dir> [archive-replays]
//        mkbench --league <output-dir> <replays>
//
//   typical.rpy   20 cars; testing, practice and race; about 100 crossings each
//   trailing.rpy  typical.rpy followed by 300 MB of other data (a sparse hole)
//   stress.rpy    64 cars, 8 sessions, 3,000 crossings per car and session
//   tenth.rpy     stress.rpy with a tenth of the crossings
//   crowd/season.ini  400 rounds of 64 cars, each driver in one round only
//   archive/NNNN.rpy  with archive-replays given: that many distinct league
//                 weekends of 16-40 cars and 10-90 laps, each followed by
//                 50-300 MB of other data (a sparse hole)
//
// With --league only the league's weekends, small and without trailing
// data, at four tracks: the season the engine tests query.
//
// std::minstd_rand is specified to the bit and only its raw numbers are used,
// so the files are the same with every standard library.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "rpybuilder.h"

namespace {

using rpybuilder::lapWord;

struct Shape {
    int cars;
    std::vector<SessionType> sessions;
    int crossings;            // per car and session, before the race finish cuts them
    std::uint32_t paceMs;     // a clean lap of the fastest car
    std::uint32_t fillerBytes = 0;
    const char* track = "monza";
};

constexpr std::uint32_t maxClock = 0x00FFFFFFu; // the lap word holds 24 bits of clock

struct Lap {
    std::uint32_t clock;
    std::uint8_t flags;
};

// One car's crossings: a start offset, then laps around the car's own pace
// with a little noise and, now and then, an off or a cut track.
std::vector<Lap> carLaps(std::minstd_rand& rng, std::uint32_t start, std::uint32_t pace, int crossings) {
    std::vector<Lap> laps;
    laps.reserve(static_cast<std::size_t>(crossings));
    std::uint32_t clock = start;
    for (int i = 0; i < crossings; ++i) {
        std::uint8_t flags = 0;
        const std::uint32_t r = rng() % 100;
        if (r == 0) flags = rpybuilder::offTrack | rpybuilder::invalid;
        else if (r < 3) flags = rpybuilder::invalid;
        if (i > 0) clock += pace + rng() % (pace / 40) + (flags ? pace / 20 : 0);
        if (clock > maxClock) throw std::logic_error("session too long for a 24-bit clock");
        laps.push_back(Lap{clock, i == 0 ? std::uint8_t(0) : flags});
    }
    return laps;
}

// After the winner's last crossing every other car crosses once more and
// stops; slower cars end laps down. Every ninth car retires early.
void finishRace(std::vector<std::vector<Lap>>& cars) {
    std::uint32_t finish = maxClock;
    for (const auto& laps : cars) finish = std::min(finish, laps.back().clock);
    for (std::size_t c = 0; c < cars.size(); ++c) {
        auto& laps = cars[c];
        auto after = std::find_if(laps.begin(), laps.end(), [finish](const Lap& l) { return l.clock > finish; });
        if (after != laps.end()) laps.erase(after + 1, laps.end());
        if (c % 9 == 4) laps.resize(laps.size() * 2 / 3);
    }
}

rpybuilder::ReplaySpec benchReplay(const Shape& shape, std::uint32_t seed) {
    using namespace rpybuilder;
    std::minstd_rand rng(seed);
    ReplaySpec spec;
    spec.root.version = 0x2402;
    spec.header.track = shape.track;
    spec.header.saverName = "GPL";
    spec.header.saverVersion = "1.2.0.2";
    spec.weekend.track = shape.track;
    spec.weekend.carset = "gem67";
    spec.weekend.sessions.clear();
    for (std::size_t s = 0; s < shape.sessions.size(); ++s) {
        const bool last = s + 1 == shape.sessions.size();
        spec.weekend.sessions.emplace_back(shape.sessions[s], shape.sessions[s] == SessionType::RACE ? 100 : 32767,
                                           last ? 604800.0 : 3600.0);
    }

    // Plain and accented names, as a real field has.
    static const char* const firstNames[] = {"Jim", "Ren\xE9", "J\xFCrgen", "Denny", "S\xF8ren", "Pedro"};
    static const char* const lastNames[] = {"Clarkson", "Fontaine", "M\xFCller", "Hulmeston", "Kj\xE6ldgaard", "Rodrigo"};
    for (int c = 0; c < shape.cars; ++c) {
        DriverSpec d;
        d.firstName = firstNames[c % 6];
        d.lastName = std::string(lastNames[(c / 6) % 6]) + (c >= 36 ? " Jr." : "");
        d.nationality = static_cast<std::uint32_t>(c % 29);
        d.tag = tagBytes(82, 4, static_cast<std::uint8_t>(c % 10));
        d.driverId = 100 + c;
        d.carIndex = static_cast<std::uint32_t>(c % 7);
        d.carClass = 3;
        d.carId = c;
        d.number = (c * 37) % 97 + 1;
        spec.drivers.push_back(d);
    }

    for (SessionType type : shape.sessions) {
        std::vector<std::vector<Lap>> cars;
        for (int c = 0; c < shape.cars; ++c) {
            const std::uint32_t pace = shape.paceMs + static_cast<std::uint32_t>(c * 53 % 400) * shape.paceMs / 5000;
            const std::uint32_t start = type == SessionType::RACE ? 3000 + 200 * static_cast<std::uint32_t>(c)
                                                                  : 5000 + rng() % 60000;
            cars.push_back(carLaps(rng, start, pace, shape.crossings));
        }
        if (type == SessionType::RACE) finishRace(cars);
        SessionSpec session;
        for (int c = 0; c < shape.cars; ++c) {
            CarSpec car{c, {}, {}};
            for (const Lap& l : cars[static_cast<std::size_t>(c)]) car.laps.push_back(lapWord(l.clock, l.flags));
            session.cars.push_back(std::move(car));
        }
        spec.sessions.push_back(std::move(session));
    }
    spec.fillerBytes = shape.fillerBytes;
    return spec;
}

// A season whose drivers x rounds table is large and sparse.
void writeCrowdSeason(const std::filesystem::path& dir) {
    constexpr int rounds = 400;
    constexpr int cars = 64;
    std::filesystem::create_directories(dir);
    std::string ini = "[Season]\nName=Crowd\nPoints=25,18,15,12,10,8,6,4,2,1\n";
    for (int r = 1; r <= rounds; ++r) {
        rpybuilder::ReplaySpec spec = rpybuilder::raceReplay(cars, 3);
        for (std::size_t c = 0; c < spec.drivers.size(); ++c) {
            char name[32];
            std::snprintf(name, sizeof name, "R%dC%zu", r, c);
            spec.drivers[c].lastName = name;
        }
        char round[64];
        std::snprintf(round, sizeof round, "[Round%d]\nReplay=r%d.rpy\n", r, r);
        ini += round;
        std::snprintf(round, sizeof round, "r%d.rpy", r);
        rpybuilder::writeReplay((dir / round).string(), spec);
    }
    std::FILE* f = std::fopen((dir / "season.ini").string().c_str(), "wb");
    if (f == nullptr || std::fwrite(ini.data(), 1, ini.size(), f) != ini.size() || std::fclose(f) != 0)
        throw std::runtime_error("cannot write the crowd season");
}

} // namespace

// Distinct league weekends, sized by a generator seeded with their number.
// A small league has short races at four tracks and no trailing data.
void writeArchive(const std::filesystem::path& dir, int count, bool small) {
    std::filesystem::create_directories(dir);
    const std::vector<SessionType> weekend = {SessionType::TESTING, SessionType::PRACTICE, SessionType::RACE};
    static const char* const tracks[] = {"monza", "spa", "monaco", "zandvoort"};
    for (int i = 0; i < count; ++i) {
        std::minstd_rand rng(static_cast<std::uint32_t>(1000 + i));
        Shape shape{16 + static_cast<int>(rng() % 25), weekend, 10 + static_cast<int>(rng() % 81),
                    60000 + static_cast<std::uint32_t>(rng() % 60000)};
        shape.fillerBytes = (50u + static_cast<std::uint32_t>(rng() % 251)) << 20;
        if (small) {
            shape.crossings = 4 + shape.crossings % 9;
            shape.fillerBytes = 0;
            shape.track = tracks[i % 4];
        }
        char name[16];
        std::snprintf(name, sizeof name, "%04d.rpy", i);
        rpybuilder::writeReplay((dir / name).string(), benchReplay(shape, static_cast<std::uint32_t>(i)));
    }
}

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3 && !(argc == 4 && std::string(argv[1]) == "--league")) {
        std::fprintf(stderr, "usage: mkbench <output-dir> [archive-replays]\n       mkbench --league <output-dir> <replays>\n");
        return 2;
    }
    try {
        if (argc == 4) {
            writeArchive(argv[2], std::stoi(argv[3]), true);
            return 0;
        }
        const std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);
        const std::vector<SessionType> weekend = {SessionType::TESTING, SessionType::PRACTICE, SessionType::RACE};
        const std::vector<SessionType> eight = {SessionType::TESTING, SessionType::PRACTICE, SessionType::PRACTICE,
                                                SessionType::RACE,    SessionType::TESTING, SessionType::PRACTICE,
                                                SessionType::PRACTICE, SessionType::RACE};
        // Short laps keep 3,000 of them inside the 24-bit clock.
        const Shape typical{20, weekend, 100, 88000};
        Shape trailing = typical;
        trailing.fillerBytes = 300u << 20;
        const Shape stress{64, eight, 3000, 4800};
        const Shape tenth{64, eight, 300, 4800};

        rpybuilder::writeReplay((dir / "typical.rpy").string(), benchReplay(typical, 67));
        rpybuilder::writeReplay((dir / "trailing.rpy").string(), benchReplay(trailing, 67));
        rpybuilder::writeReplay((dir / "stress.rpy").string(), benchReplay(stress, 68));
        rpybuilder::writeReplay((dir / "tenth.rpy").string(), benchReplay(tenth, 68));
        writeCrowdSeason(dir / "crowd");
        if (argc == 3) writeArchive(dir / "archive", std::stoi(argv[2]), false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkbench: %s\n", e.what());
        return 1;
    }
    return 0;
}
