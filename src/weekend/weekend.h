// The race weekend as the reports see it: event, entries with their drivers,
// sessions with their timing, and the carset that named the cars.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "carset/carset_info.h"
#include "weekend/timing.h"

// Session types, numbered as a replay stores them.
enum class SessionType : std::int16_t { TESTING = 2, PRACTICE = 6, RACE = 7 };

// "RACE", or "cast(SessT)" and the value for one outside the list.
std::string toString(SessionType t);

struct Driver {
    std::int32_t driverId = 0;
    std::string firstName;
    std::string lastName;
    std::string nat;
    std::string remark;
};

// "First Last", also when one of the two is empty.
std::string displayName(const Driver& driver);

struct Drivers : std::vector<Driver> {
    // The first driver with this id, or a default driver whose remark is
    // "invalid".
    Driver find(std::int32_t driverId) const;
};

struct Entry {
    std::uint32_t carIndex = 0;
    std::int32_t carId = 0;
    std::string carClass;
    std::string team = "SomeTeam";
    std::string chassis = "SomeCar";
    std::string engine = "SomeEngine";
    Drivers drivers;
    std::int16_t number = 0;
    std::int16_t year = 0;
};

using Entries = std::vector<Entry>;

// Entries by car id: the first entry of a car id, or a default entry. The
// entries must outlive the index and stay unchanged. Hostile replays can
// hold many thousands of cars, with ids chosen to collide in a hash table,
// so the ids are sorted and searched.
class EntryIndex {
public:
    explicit EntryIndex(const Entries& entries);
    const Entry& find(std::int32_t carId) const;

private:
    const Entries& entries_;
    // (car id, position of its first entry), by car id.
    std::vector<std::pair<std::int32_t, std::size_t>> first_;
    Entry none_;
};

struct Session {
    SessionType type = SessionType::TESTING;
    std::int32_t maxLaps = 0;
    std::int32_t maxSecs = 0;
    SessionTiming timing;
};

struct Event {
    std::string track;
    std::string carset;
    Entries entries;
    std::vector<Session> sessions;
};

struct Weekend {
    std::uint32_t version = 0;
    std::string track;
    std::string saverName;
    std::string saverVersion;
    Event event;
    // The facts of the carset that named the cars, when one was loaded.
    std::optional<CarsetInfo> carset;
};
