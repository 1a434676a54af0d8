#include "weekend/weekend_builder.h"

#include <array>
#include <stdexcept>
#include <map>

#include "carset/carset_search.h"
#include "replay/replay_reader.h"
#include "text/code_page_text.h"
#include "text/diagnostics.h"
#include "text/format.h"
#include "text/visible_text.h"

static_assert(SessionType::TESTING == SessionType{SessionCode::testing} &&
              SessionType::PRACTICE == SessionType{SessionCode::practice} &&
              SessionType::RACE == SessionType{SessionCode::race});

namespace {

// Replay texts are bytes in the system ANSI code page.
std::string replayText(std::string_view bytes) { return fromMultiByte(bytes, 0); }

std::string carClassName(std::uint32_t code) {
    switch (code) {
    case 1: return "BT";
    case 2: return "AT";
    case 3: return "GP";
    default: return "cast(CarClass)" + std::to_string(code);
    }
}

// The carset no longer changes while the entries are built, so its year and
// each car model's names are looked up once, not once per entry: a hostile
// replay may list many thousands of cars.
class CarsetLookups {
public:
    explicit CarsetLookups(const Carset& carset) : carset_(carset), year(carset.year()) {}

    const CarModelNames& namesOf(std::uint32_t carIndex) {
        auto [it, fresh] = models_.try_emplace(carIndex);
        if (fresh) it->second = carModelNames(carset_, carIndex);
        return it->second;
    }

private:
    const Carset& carset_;
    // Ordered: crafted car indexes cannot make it slow as they could a hash
    // table.
    std::map<std::uint32_t, CarModelNames> models_;

public:
    const std::int16_t year;
};

// The model year: the carset's for a text tag, else the coded tag's, else 1967.
std::int16_t entryYear(const DriverRecord& d, std::int16_t carsetYear) {
    if (d.tagIsText() != 0) return carsetYear;
    if (d.tagByte(0) == '1') return static_cast<std::int16_t>(1885 + d.tagByte(1));
    return defaultCarsetYear;
}

Entry makeEntry(const DriverRecord& d, CarsetLookups& carset, Diagnostics& diagnostics) {
    Entry e;
    const std::int32_t number = d.number();
    if (number < 0 || number > 32767) throw std::runtime_error("Conversion positive overflow");
    e.number = static_cast<std::int16_t>(number);
    e.carIndex = d.carIndex();
    e.carId = d.carId();
    e.carClass = carClassName(d.carClass());
    const CarModelNames& names = carset.namesOf(e.carIndex);
    e.team = names.team;
    e.chassis = names.chassis;
    e.engine = names.engine;
    e.year = entryYear(d, carset.year);
    if (d.tagIsText() != 1 && e.year != carset.year)
        diagnostics.warning(
            formatText("entry #%s year %s doesn't match carset year %s", e.number, e.year, carset.year));

    Driver r;
    r.driverId = d.driverId();
    r.firstName = replayText(d.firstName());
    r.lastName = replayText(d.lastName());
    if (d.tagByte(0) == '1') r.remark = formatText("GEM+ 2.%d.%d", d.tagByte(3), d.tagByte(4));
    r.nat = std::string(nationalityCode(d.nationality()));
    e.drivers.push_back(std::move(r));
    return e;
}

Carset chooseCarset(const CarsetChoice& choice, const std::string& eventCarset, Diagnostics& diagnostics) {
    Carset carset;
    if (!choice.path.empty()) {
        try {
            carset = Carset::load(choice.path);
        } catch (const std::runtime_error& e) {
            throw CarsetError(e.what());
        }
    }
    if (choice.detect && !carset.loaded()) {
        if (std::optional<Carset> found = detectCarset(eventCarset)) {
            carset = std::move(*found);
            diagnostics.notice("Using carset file " + visibleText(carset.path()));
        }
    }
    return carset;
}

// Record bits 0x40 and 0x10 are known; any other bit is unknown.
std::uint8_t lapFlags(std::uint8_t recordFlags) {
    std::uint8_t flags = 0;
    if (recordFlags & 0x40) flags |= LapFlag::offTrack;
    if (recordFlags & 0x10) flags |= LapFlag::invalid;
    if (recordFlags & 0xAF) flags |= LapFlag::unknown;
    return flags;
}

SessionTiming makeTiming(const ReplaySession& session, const EntryIndex& entries) {
    SessionTimingBuilder timing;
    std::size_t crossings = 0;
    for (const CarLapsRecord& car : session.cars) crossings += car.lapCount();
    timing.reserve(session.cars.size(), crossings);
    for (const CarLapsRecord& car : session.cars) {
        const Entry& entry = entries.find(car.carId());
        if (entry.drivers.empty()) throw std::runtime_error(formatText("No entry for car id %d", car.carId()));
        timing.addCar(car.carId(), entry.drivers.front().driverId, entry.number);
        const std::size_t count = car.lapCount();
        for (std::size_t i = 0; i < count; ++i) {
            const LapRecord record = car.lap(i);
            timing.addLap(TimedLap{record.clock(), lapFlags(record.flags())});
        }
    }
    return timing.build();
}

// Refuses, before anything is allocated for them, more crossings than any
// weekend holds: a small sparse replay can claim billions.
void checkCrossingCount(const ReplayRecords& records) {
    std::uint64_t crossings = 0;
    for (const ReplaySession& session : records.sessions)
        for (const CarLapsRecord& car : session.cars) crossings += car.lapCount();
    if (crossings > maxReplayCrossings)
        throw std::runtime_error(formatText("Replay holds %s lap records, more than the %s gridtally reads",
                                            crossings, maxReplayCrossings));
}

std::vector<Session> makeSessions(const ReplayRecords& records, const Entries& entries, Diagnostics& diagnostics) {
    const std::vector<SessionInfo> infos = records.weekend.sessions(diagnostics);
    checkCrossingCount(records);
    const EntryIndex index(entries);
    std::vector<Session> sessions;
    for (const ReplaySession& s : records.sessions) {
        if (s.index >= infos.size()) throw std::runtime_error(formatText("Invalid session index %u", s.index));
        const SessionInfo& info = infos[s.index];
        Session session;
        session.type = static_cast<SessionType>(info.type);
        session.maxLaps = info.laps;
        session.maxSecs = info.seconds;
        session.timing = makeTiming(s, index);
        sessions.push_back(std::move(session));
    }
    return sessions;
}

} // namespace

Weekend buildWeekend(const ReplayFile& file, const CarsetChoice& carsetChoice, Diagnostics& diagnostics) {
    const ReplayRecords records = readReplay(file, diagnostics);
    Weekend weekend;
    weekend.version = file.version();
    weekend.track = replayText(records.header.track());
    weekend.saverName = replayText(records.header.saverName());
    weekend.saverVersion = replayText(records.header.saverVersion());

    Event& event = weekend.event;
    event.track = replayText(records.weekend.track());
    event.carset = replayText(records.weekend.carset());
    const Carset carset = chooseCarset(carsetChoice, event.carset, diagnostics);
    CarsetLookups lookups(carset);
    event.entries.reserve(records.drivers.size());
    for (const DriverRecord& d : records.drivers) event.entries.push_back(makeEntry(d, lookups, diagnostics));
    event.sessions = makeSessions(records, event.entries, diagnostics);
    if (carset.loaded()) weekend.carset = carset.info();
    return weekend;
}

std::optional<std::string> detectedCarsetPath(const ReplayFile& file) {
    // The run that follows reads the replay again and reports its warnings.
    class Silent final : public Diagnostics {
        void warning(std::string_view) override {}
        void notice(std::string_view) override {}
    } ignored;
    try {
        const ReplayRecords records = readReplay(file, ignored);
        if (std::optional<Carset> found = detectCarset(replayText(records.weekend.carset()))) return found->path();
    } catch (const std::runtime_error&) {
    }
    return std::nullopt;
}
