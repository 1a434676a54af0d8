// Game data: the game-neutral model (event, entries, drivers, sessions)
// built from a replay, the carset loading and detection, and the built-in
// Grand Prix Legends name tables.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dini.h"
#include "enums.h"

class RpyFile;
class RpyGPL;
class Timing;
class DataGPL;

// ---- Game data model -------------------------------------------------------

struct CarsetInfo {
    std::string name;
    std::string cardir;
    std::string physics;
    std::string shortid;
    std::int16_t year = 0;
};

struct Driver {
    std::int32_t driverId = 0;
    std::string firstName;
    std::string lastName;
    std::string nat;
    std::string remark;
    bool tagIsText = false;
    bool flag138 = false;
};

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

struct Entries : std::vector<Entry> {
    // The first entry with this car id, or a default entry.
    Entry find(std::int32_t carId) const;
};

// Entries by car id in constant time, with the answers of Entries::find: the
// first entry of a car id, or a default entry. The entries must outlive the
// index and stay unchanged. Hostile replays can hold many thousands of cars.
class EntryIndex {
public:
    explicit EntryIndex(const Entries& entries);
    const Entry& find(std::int32_t carId) const;

private:
    const Entries& entries_;
    std::unordered_map<std::int32_t, std::size_t> first_;
    Entry none_;
};

struct Session {
    SessT type = SessT::TESTING;
    std::int32_t maxLaps = 0;
    std::int32_t maxSecs = 0;
    std::shared_ptr<const Timing> timing; // owned by the session record
};

struct Event {
    std::string track;
    std::string carset;
    Entries entries;
    std::vector<Session> sessions;
};

class DataObj {
public:
    explicit DataObj(Game g) : game(g) {}
    virtual ~DataObj() = default;
    Game game;
};

class Data : public DataObj {
public:
    using DataObj::DataObj;
    ~Data() override;

    virtual void build(RpyFile& file) = 0;
    // This object as Grand Prix Legends data; only valid when game is GPL.
    DataGPL& gpl();
    const DataGPL& gpl() const;
    virtual std::string gameName() const { return "Unknown game"; }
    std::string dumpText() const;

    std::uint32_t version = 0;
    std::string track;
    std::string saverName;
    std::string saverVersion;
    std::uint32_t headerWord = 0;
    std::vector<Event> events;
};

class DataGPL : public Data {
public:
    DataGPL();
    ~DataGPL() override;
    void build(RpyFile& file) override;
    std::string gameName() const override { return "Grand Prix Legends"; }

    std::unique_ptr<RpyGPL> reader;
    CarsetInfo carsetInfo;
};

// GPL gives a DataGPL; N2K2 and IRAC throw "Not implemented"; others null.
std::unique_ptr<Data> create(Game game);

// ---- Carsets ---------------------------------------------------------------

// True when the carset has at least one top-level section.
bool carsetLoaded(const IniSection& carset);

// Reads, converts (code page 0) and parses one carset file into target.
// Returns the failure ("path: reason") or nothing; target changes only on
// success. An empty path does nothing.
std::optional<std::runtime_error> loadCarset(const std::string& path, IniSection& target);

// Searches the carset directories for the file whose Carset/CarDir matches
// the name (case-insensitively) and loads it into the program's carset.
void detectCarset(const std::string& carsetName);

// Strict lookup; throws "CST error: can't find key '...' in section '...'
// reading file <path>".
std::string carsetValue(const std::string& section, const std::string& key,
                        const IniSection& carset, const std::string& path);
bool carsetHasKey(const std::string& section, const std::string& key, const IniSection& carset);

// Value of key in section "Car<carIndex>" of the loaded carset, or empty.
std::string carValue(std::uint32_t carIndex, const std::string& key);

std::string teamName(std::uint32_t carIndex);
std::string chassisName(std::uint32_t carIndex);
std::string engineName(std::uint32_t carIndex);
std::int16_t carsetYear();

// Signed 16-bit conversion of a carset value: optional sign, ASCII digits.
std::optional<std::int16_t> toInt16(std::string_view text);

extern const std::array<const char*, 7> teamNames;
extern const std::array<const char*, 7> chassisNames;
extern const std::array<const char*, 7> engineNames;
