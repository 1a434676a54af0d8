// A season file from arbitrary bytes, scored and written in every format.
// The rounds' replays come from memory: a few fixed weekends, taken in turn
// by round number (round 1 the first), so that points, aliases and
// penalties meet real races (and one weekend without a race). A broken
// season file or round is refused with a message; anything else escaping, a
// report that is not UTF-8 or a text report with a control character, is a
// finding.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzsupport.h"
#include "standings/standings_writer.h"
#include "rpybuilder.h"
#include "season/season.h"
#include "weekend/weekend_builder.h"

namespace {

using namespace rpybuilder;

// A weekend of the named drivers, car i in carset model i, crossing the
// line laps[i] times; a practice when raced is false.
std::string weekendBytes(const std::vector<std::string>& names, const std::vector<int>& laps, bool raced) {
    ReplaySpec r;
    r.weekend.sessions = {{raced ? SessionType::RACE : SessionType::PRACTICE, 3, 604800.0}};
    SessionSpec session;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto id = static_cast<std::int32_t>(i + 1);
        const std::size_t space = names[i].find(' ');
        r.drivers.push_back(DriverSpec{.firstName = names[i].substr(0, space),
                                       .lastName = space == std::string::npos ? "" : names[i].substr(space + 1),
                                       .driverId = id, .carIndex = static_cast<std::uint32_t>(i % 3),
                                       .carId = id, .number = id});
        CarSpec car{id, {}};
        for (int lap = 0; lap < laps[i]; ++lap)
            car.laps.push_back(lapWord(static_cast<std::uint32_t>(1000 + 90000 * lap + 700 * (id % 4))));
        session.cars.push_back(car);
    }
    r.sessions = {session};
    return buildReplay(r);
}

const std::vector<Weekend>& weekends() {
    static const std::vector<Weekend> built = [] {
        const std::vector<std::string> names = {"Ann Able", "Bob Best", "Cat Cole", "Al Dunmore", "Jim Clark"};
        std::vector<Weekend> out;
        for (const std::string& bytes : {weekendBytes(names, {4, 4, 3, 1, 4}, true),
                                         weekendBytes({"Bob Best", "Ann Able", "Eve East"}, {4, 2, 4}, true),
                                         weekendBytes(names, {4, 4, 4, 4, 4}, false)})
            out.push_back(fuzzsupport::weekendOf(bytes, CarsetChoice{}));
        return out;
    }();
    return built;
}

void writeEveryFormat(const Standings& standings) {
    for (ReportFormat format :
         {ReportFormat::TEXT, ReportFormat::SEMIKV, ReportFormat::JSON, ReportFormat::CSV, ReportFormat::HTML}) {
        for (bool teams : {false, true}) {
            if (teams && format != ReportFormat::CSV) continue; // only CSV holds one table or the other
            StringSink sink;
            writeStandings(standings, StandingsOptions{format, teams}, sink);
            fuzzsupport::checkUtf8(sink.text());
            if (format == ReportFormat::TEXT || format == ReportFormat::SEMIKV)
                fuzzsupport::checkNoControlCharacters(sink.text());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    try {
        const SeasonFile season = parseSeasonFile(text, "season.ini");
        std::vector<RoundRace> races;
        for (const SeasonRound& round : season.rounds)
            races.push_back(roundRace(weekends()[(round.number - 1) % weekends().size()], season, round));
        writeEveryFormat(computeStandings(season, races));
    } catch (const std::runtime_error& e) {
        // A broken season file, or a round without a race: the run driver
        // shows the message with "Error: ".
        fuzzsupport::checkMessage(e.what());
    }
    return 0;
}
