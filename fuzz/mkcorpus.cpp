// mkcorpus: writes the seed inputs of the fuzz targets, made with the test
// builders, so that no binary input is kept in the repository.
//
// Usage: mkcorpus <dir>   (fills <dir>/pipeline, <dir>/ini, <dir>/carset and
// <dir>/season)

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cstbuilder.h"
#include "rpybuilder.h"

namespace {

using namespace rpybuilder;
using cstbuilder::CarsetSpec;

void writeSeeds(const std::filesystem::path& dir, const std::vector<std::string>& seeds) {
    std::filesystem::create_directories(dir);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::filesystem::path path = dir / ("seed-" + std::to_string(i));
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
        if (!out) throw std::runtime_error("cannot write " + path.string());
    }
}

// Lap words of a car that starts at `start` and laps every `lap` ms.
std::vector<std::uint32_t> steadyLaps(std::uint32_t start, std::uint32_t lap, int count) {
    std::vector<std::uint32_t> words;
    for (int i = 0; i < count; ++i) words.push_back(lapWord(start + lap * static_cast<std::uint32_t>(i)));
    return words;
}

std::vector<std::string> replaySeeds() {
    std::vector<std::string> seeds;
    seeds.push_back(buildReplay(ReplaySpec{}));

    ReplaySpec weekend;
    weekend.header.saverName = "Saver \xE9";
    weekend.weekend.carset = "gem67";
    weekend.drivers = {
        DriverSpec{.firstName = "Jim", .lastName = "Clark", .nationality = 12, .carIndex = 5, .carClass = 3,
                   .carId = 1, .number = 5, .tagIsText = 1},
        DriverSpec{.firstName = "Jochen", .lastName = "Rindt", .nationality = 2, .tag = tagBytes(82, 1, 3),
                   .driverId = 2, .carIndex = 2, .carClass = 1, .carId = 2, .number = 7},
        DriverSpec{.firstName = "Jo", .lastName = "Siffert", .nationality = 26, .driverId = 3, .carIndex = 40,
                   .carId = 3, .number = 12, .byte138 = 1},
    };
    weekend.sessions = {
        SessionSpec{{CarSpec{1, {lapWord(1000), lapWord(90000), lapWord(181000, offTrack)}},
                     CarSpec{2, {lapWord(1500), lapWord(89000, invalid), lapWord(180000)}},
                     CarSpec{3, {}}}},
        SessionSpec{{CarSpec{1, steadyLaps(500, 88000, 8)}, CarSpec{2, steadyLaps(700, 87500, 6)},
                     CarSpec{3, steadyLaps(900, 91000, 8)}}},
    };
    seeds.push_back(buildReplay(weekend));

    ReplaySpec raceOnly = weekend;
    raceOnly.weekend.sessions = {{SessionType::RACE, 3, 604800.0}};
    raceOnly.sessions = {weekend.sessions[1]};
    raceOnly.trailing = std::string(16, '\x7F');
    seeds.push_back(buildReplay(raceOnly));

    ReplaySpec testing = weekend;
    testing.root.version = 0x102;
    testing.weekend.sessions = {{SessionType::TESTING, 0, 600.0},
                                {SessionType::PRACTICE, 10, 1800.0},
                                {SessionType::PRACTICE, 32767, 3600.0},
                                {SessionType::RACE, 5, 604800.0}};
    testing.sessions = {weekend.sessions[0], weekend.sessions[0], SessionSpec{}, weekend.sessions[1]};
    seeds.push_back(buildReplay(testing));

    ReplaySpec tied = weekend;
    tied.weekend.sessions = {{SessionType::RACE, 2, 604800.0}};
    tied.sessions = {SessionSpec{{CarSpec{1, {lapWord(0), lapWord(1000), lapWord(2000)}},
                                  CarSpec{2, {lapWord(0), lapWord(1000), lapWord(2000)}},
                                  CarSpec{3, {lapWord(0), lapWord(0xFFFFFF)}}}}};
    seeds.push_back(buildReplay(tied));

    // Names that would forge report lines or drive a terminal, and car ids
    // shared, negative, or multiples of a hash table's bucket count.
    ReplaySpec hostile = weekend;
    hostile.header.track = hostile.weekend.track = "Mon\nza\r";
    hostile.weekend.carset = "gem\x1B]0;67\x07";
    hostile.header.saverName = "Saver\x7F\x90";
    hostile.drivers[0].firstName = "Jim\n 1.  99 Fa";
    hostile.drivers[0].lastName = "\x1B[2J\x9D\x12;\t";
    hostile.drivers[1].carId = hostile.drivers[2].carId = -42043;
    hostile.drivers[0].carId = 42043 * 2;
    hostile.sessions = {SessionSpec{{CarSpec{42043 * 2, steadyLaps(0, 1000, 3)},
                                     CarSpec{-42043, steadyLaps(0, 1000, 3)},
                                     CarSpec{-42043, steadyLaps(500, 900, 4)}}}};
    hostile.weekend.sessions = {{SessionType::RACE, 3, 604800.0}};
    seeds.push_back(buildReplay(hostile));
    return seeds;
}

CarsetSpec gem67(const std::string& cardir) {
    CarsetSpec spec;
    spec.name = "GEM+ 1967 \xC3\xA9t\xC3\xA9";
    spec.cardir = cardir;
    spec.physics = "gpl67";
    spec.shortid = "67";
    spec.year = "1967";
    spec.cars = {{0, "Brabham", "BT24", "Repco"}, {1, "Lotus", "49", "Cosworth"}, {9, "Privateer", "", std::nullopt}};
    return spec;
}

std::vector<std::string> iniSeeds() {
    std::vector<std::string> seeds;
    seeds.push_back(cstbuilder::carsetText(gem67("gem67")));
    CarsetSpec lf = gem67("gem65");
    lf.lineEnd = "\n";
    lf.engines = "3";
    lf.extraLines = {"; comment", "# not a comment=1", "[Car2 : Car1]", "Team = \"  quoted  \"",
                       "[a.b.c]", "k==v", "[x : .a.b]", "[ spaced ]", "=empty key", "q=\"\"", "[b : a]"};
    seeds.push_back(cstbuilder::carsetText(lf));
    seeds.push_back("key=value\r[s]\vk=v\f[t]\xC2\x85k=v\xE2\x80\xA8[u:s]\xE2\x80\xA9z = 1 ");
    seeds.push_back("[Carset]\r\nName=x\r\n[Car0]\r\nno equals sign\r\n");
    seeds.push_back("\xEF\xBB\xBF[Carset]\nCarDir=x\n[missing : nowhere]\n");
    // Inheritance that multiplies keys, dotted bases and many car sections.
    std::string inherit = "[Base]\n";
    for (int i = 0; i < 40; ++i) inherit += "k" + std::to_string(i) + "=" + std::string(20, 'v') + "\n";
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        inherit += "[S" + n + " : Base]\n[a.S" + n + " : .S0]\n";
    }
    for (int i = 0; i < 60; ++i) inherit += "[Car" + std::to_string(i) + " : .a.S1]\nTeam=T\x1B\n";
    seeds.push_back(inherit);
    return seeds;
}

std::vector<std::string> carsetSeeds() {
    constexpr char sep = '\x1E';
    std::vector<std::string> seeds;
    seeds.push_back(std::string("gem67") + sep + cstbuilder::carsetBytes(gem67("gem67")));

    CarsetSpec withEngines = gem67("GEM67");
    withEngines.engines = "1";
    seeds.push_back(std::string("Gem67") + sep + cstbuilder::carsetBytes(withEngines) + sep +
                    cstbuilder::carsetBytes(gem67("gem67")) + sep + cstbuilder::carsetBytes(gem67("gem65")));

    CarsetSpec accented = gem67("\xC3\x89t\xC3\xA9");
    accented.lineEnd = "\n";
    seeds.push_back(std::string("\xC9T\xC9") + sep + "[Carset]\nno key line\n" + sep + "" + sep +
                    cstbuilder::carsetBytes(accented) + sep + cstbuilder::carsetBytes(gem67("\xC3\x89t\xC3\xA9")));

    CarsetSpec noSection = gem67("x");
    noSection.withCarsetSection = false;
    // Control characters in every value a report shows.
    CarsetSpec hostile = gem67("gem67");
    hostile.name = "Car\x1B]0;set\x07";
    hostile.physics = "gpl\x7F";
    hostile.cars = {{0, "Team\x1B[2J", "\x1B[1mChassis", "En\x08gine"}, {9, "T\x7F", "\x12;", "\t"}};
    // Windows-1252 bytes without a character of their own.
    seeds.push_back(std::string("gem67") + sep + cstbuilder::carsetBytes(hostile) + "[Car1]\r\nTeam=\x90\x9D\r\n");

    seeds.push_back(std::string("x") + sep + cstbuilder::carsetBytes(noSection) + sep + "[Car0:Car9]\n" + sep +
                    "[Carset]\nCarDir = x \nYear=-32768\n" + sep + std::string("[Carset]\0CarDir=x", 16) + sep +
                    cstbuilder::carsetBytes(gem67("x")) + sep + cstbuilder::carsetBytes(gem67("x")));
    return seeds;
}

// Season files over the season target's weekends: rounds 1 and 2 raced,
// round 3 a practice.
std::vector<std::string> seasonSeeds() {
    const std::string rounds = "[Round1]\nReplay=a.rpy\nCarset=x.cst\n[Round2]\nReplay=b.rpy\n";
    return {
        "[Season]\nName=League\nPoints=9,6,4,3,2,1 ; top six\nFastestLap=1\nFastestLapTop=3\nDrop=1\n"
        "Classified=90%\n" + rounds +
            "[Aliases]\nAl Dunmore=Alastair Dunmore\n"
            "[Penalties]\n1.Ann Able=+5.5s\n1.Cat Cole=DSQ\n2.Bob Best=-3 points\n",
        "\xEF\xBB\xBF[Season]\nPoints=1\n" + rounds + "[Round3]\nReplay=c.rpy\n",
        "[Season]\nName=\xC9t\xE9\x1B[2J\nPoints=3,2,1\n" + rounds +
            "[Aliases]\nEve East=E. East\nE. East=Evelyn East\n[Penalties]\n2.Eve East=+30 s\n",
    };
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkcorpus <dir>\n");
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        writeSeeds(dir / "pipeline", replaySeeds());
        writeSeeds(dir / "ini", iniSeeds());
        writeSeeds(dir / "carset", carsetSeeds());
        writeSeeds(dir / "season", seasonSeeds());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkcorpus: %s\n", e.what());
        return 1;
    }
    return 0;
}
