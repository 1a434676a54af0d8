#include "data.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "gemplus.h"
#include "globals.h"
#include "mklib.h"
#include "platform/platform.h"
#include "rpylib.h"
#include "timing.h"
#include "unicode.h"

// ---- Entry and driver lookups ---------------------------------------------

Driver Drivers::find(std::int32_t driverId) const {
    for (const Driver& d : *this)
        if (d.driverId == driverId) return d;
    Driver unknown;
    unknown.remark = "invalid";
    return unknown;
}

Entry Entries::find(std::int32_t carId) const {
    for (const Entry& e : *this)
        if (e.carId == carId) return e;
    return Entry{};
}

EntryIndex::EntryIndex(const Entries& entries) : entries_(entries) {
    first_.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) first_.try_emplace(entries[i].carId, i);
}

const Entry& EntryIndex::find(std::int32_t carId) const {
    const auto it = first_.find(carId);
    return it == first_.end() ? none_ : entries_[it->second];
}

// ---- Carsets and built-in name tables --------------------------------------
// Everything below reads or sets globals().carsetIni and nothing else of the
// game data.

const std::array<const char*, 7> teamNames = {
    "Brabham Racing Organisation", "Owen Racing Organisation", "Cooper Car Company",
    "Anglo American Racers",       "Scuderia Ferrari SpA SEFAC", "Team Lotus",
    "Honda Racing",
};

const std::array<const char*, 7> chassisNames = {
    "Brabham BT24", "BRM P115", "Cooper T81b", "Gurney Eagle",
    "Ferrari 312",  "Lotus 49", "Honda RA300",
};

const std::array<const char*, 7> engineNames = {
    "Repco V8",    "BRM H16",     "Maserati V12", "Weslake V12",
    "Ferrari V12", "Ford DFV V8", "Honda V12",
};

namespace {

constexpr std::int16_t defaultCarsetYear = 1967;

const std::string* findKey(const IniSection& carset, const std::string& section,
                           const std::string& key) {
    const IniSection* s = findSection(carset, section);
    if (!s) return nullptr;
    const auto it = s->keys.find(key);
    return it == s->keys.end() ? nullptr : &it->second;
}

std::string carName(std::uint32_t carIndex, const char* key,
                    const std::array<const char*, 7>& builtIn, const char* fallback) {
    if (carsetLoaded(globals().carsetIni)) {
        std::string value = carValue(carIndex, key);
        if (!value.empty()) return value;
    }
    if (carIndex < builtIn.size()) return builtIn[carIndex];
    return fallback + std::to_string(carIndex & 0xFFu);
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// The ".cst" files of one search directory, sorted by the bytes of their
// paths. A directory that is missing or is a file yields nothing; one that
// cannot be listed throws.
std::vector<std::string> carsetCandidates(std::string_view searchDir) {
    const std::string dir = normalizePath(searchDir);
    if (!platform::exists(dir) || !platform::isDirectory(dir)) return {};
    std::vector<std::string> kept;
    for (const std::string& entry : platform::listDirectory(dir)) {
        if (!endsWith(entry, ".cst")) continue;
        const char sep = platform::pathSeparator;
        std::string path = dir.back() == sep ? dir + entry : dir + sep + entry;
        if (!platform::exists(path) || platform::isDirectory(path)) continue;
        // Carsets found by their install location are named from where we stand.
        if (isAbsoluteWindowsPath(path)) path = relativeWindowsPath(path, platform::currentDirectory());
        kept.push_back(std::move(path));
    }
    // std::string compares its chars as unsigned, i.e. byte order.
    std::sort(kept.begin(), kept.end());
    return kept;
}

} // namespace

bool carsetLoaded(const IniSection& carset) { return !carset.sections.empty(); }

std::optional<std::runtime_error> loadCarset(const std::string& path, IniSection& target) {
    if (path.empty()) return std::nullopt;
    try {
        std::string bytes = platform::readFile(path, 64u << 20); // no real carset comes near
        bytes.resize(std::min(bytes.size(), bytes.find('\0')));
        IniSection parsed = parseIni(fromMultiByte(bytes, 0));
        target = std::move(parsed);
    } catch (const std::runtime_error& e) {
        return std::runtime_error(path + ": " + e.what());
    }
    return std::nullopt;
}

void detectCarset(const std::string& carsetName) {
    std::vector<std::string> candidates;
    for (std::string_view dir : carsetSearchDirs) {
        std::vector<std::string> found = carsetCandidates(dir);
        candidates.insert(candidates.end(), found.begin(), found.end());
    }

    const std::string wanted = unicode::toLower(carsetName);
    std::vector<std::pair<std::string, IniSection>> matches;
    for (const std::string& path : candidates) {
        IniSection carset;
        if (loadCarset(path, carset) || !carsetLoaded(carset)) continue;
        const std::string* cardir = findKey(carset, "Carset", "CarDir");
        if (!cardir) continue;
        if (unicode::toLower(*cardir) == wanted) matches.emplace_back(path, std::move(carset));
    }

    if (matches.size() > 1) {
        std::erase_if(matches, [](const auto& match) {
            return carsetHasKey("Carset", "Engines", match.second);
        });
    }
    if (matches.empty()) return;

    globals().carsetIni = std::move(matches.front().second);
    stderrConsole().writefln("Using carset file %s", matches.front().first);
}

std::string carsetValue(const std::string& section, const std::string& key,
                        const IniSection& carset, const std::string& path) {
    if (const std::string* value = findKey(carset, section, key)) return *value;
    throw std::runtime_error("CST error: can't find key '" + key + "' in section '" + section +
                             "' reading file " + path);
}

bool carsetHasKey(const std::string& section, const std::string& key, const IniSection& carset) {
    return findKey(carset, section, key) != nullptr;
}

std::string carValue(std::uint32_t carIndex, const std::string& key) {
    const std::string* value = findKey(globals().carsetIni, "Car" + std::to_string(carIndex), key);
    return value ? *value : std::string();
}

std::string teamName(std::uint32_t carIndex) {
    return carName(carIndex, "Team", teamNames, "unkTeam");
}

std::string chassisName(std::uint32_t carIndex) {
    return carName(carIndex, "Name", chassisNames, "unkMake");
}

std::string engineName(std::uint32_t carIndex) {
    return carName(carIndex, "Engine", engineNames, "unkEngine");
}

std::int16_t carsetYear() {
    const IniSection& carset = globals().carsetIni;
    if (!carsetLoaded(carset)) return defaultCarsetYear;
    const std::string* year = findKey(carset, "Carset", "Year");
    if (!year) return defaultCarsetYear;
    return toInt16(*year).value_or(defaultCarsetYear);
}

std::optional<std::int16_t> toInt16(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int32_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 32768) return std::nullopt; // keeps the sum far from overflow
    }
    const std::int32_t value = negative ? -magnitude : magnitude;
    if (value > 32767) return std::nullopt;
    return static_cast<std::int16_t>(value);
}

// ---- Game data build --------------------------------------------------------

Data::~Data() = default;

DataGPL& Data::gpl() { return const_cast<DataGPL&>(std::as_const(*this).gpl()); }

const DataGPL& Data::gpl() const {
    if (game != Game::GPL) throw std::logic_error("gpl() called on data of game " + toString(game));
    return static_cast<const DataGPL&>(*this);
}

DataGPL::DataGPL() : Data(Game::GPL) {}
DataGPL::~DataGPL() = default;

std::unique_ptr<Data> create(Game game) {
    switch (game) {
    case Game::GPL: return std::make_unique<DataGPL>();
    case Game::N2K2:
    case Game::IRAC: throw std::runtime_error("Not implemented");
    default: return nullptr;
    }
}

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
struct CarsetLookups {
    std::int16_t year = carsetYear();
    std::unordered_map<std::uint32_t, std::array<std::string, 3>> models;

    const std::array<std::string, 3>& namesOf(std::uint32_t carIndex) {
        auto [it, fresh] = models.try_emplace(carIndex);
        if (fresh) it->second = {teamName(carIndex), chassisName(carIndex), engineName(carIndex)};
        return it->second;
    }
};

// The model year: the carset's for a text tag, else the coded tag's, else 1967.
std::int16_t entryYear(const DriverInfo& d, std::int16_t carsetYr) {
    if (d.tagIsText() != 0) return carsetYr;
    if (d.tagByte(0) == '1') return static_cast<std::int16_t>(1885 + d.tagByte(1));
    return defaultCarsetYear;
}

Entry makeEntry(const DriverInfo& d, CarsetLookups& carset) {
    Entry e;
    std::int32_t number = d.number();
    if (number < 0 || number > 32767) throw std::runtime_error("Conversion positive overflow");
    e.number = static_cast<std::int16_t>(number);
    e.carIndex = d.carIndex();
    e.carId = d.carId();
    e.carClass = carClassName(d.carClass());
    const auto& names = carset.namesOf(e.carIndex);
    e.team = names[0];
    e.chassis = names[1];
    e.engine = names[2];
    e.year = entryYear(d, carset.year);
    if (d.tagIsText() != 1 && e.year != carset.year)
        stderrConsole().writefln("Warning: entry #%s year %s doesn't match carset year %s", e.number,
                                 e.year, carset.year);

    Driver r;
    r.driverId = d.driverId();
    r.firstName = replayText(d.firstName());
    r.lastName = replayText(d.lastName());
    r.tagIsText = d.tagIsText() != 0;
    r.flag138 = d.byte138() != 0;
    if (d.tagByte(0) == '1') r.remark = doformat("GEM+ 2.%d.%d", d.tagByte(3), d.tagByte(4));
    r.nat = std::string(nationalityCode(d.nationality()));
    e.drivers.push_back(std::move(r));
    return e;
}

void loadEventCarset(const std::string& eventCarset) {
    Globals& g = globals();
    if (auto failure = loadCarset(g.cstFile, g.carsetIni)) fatalError(2, "%s", failure->what());
    if (g.options.count("cst-auto") && !carsetLoaded(g.carsetIni)) detectCarset(eventCarset);
}

std::vector<Session> makeSessions(const RpyGPL& reader, const Entries& entries) {
    std::vector<SessInfo> infos = reader.weekend.sessions();
    std::vector<Session> sessions;
    for (const RpySession& s : reader.sessions) {
        if (s.index >= infos.size()) throw std::runtime_error(doformat("Invalid session index %u", s.index));
        const SessInfo& info = infos[s.index];
        Session session;
        session.type = info.type;
        session.maxLaps = info.laps;
        session.maxSecs = info.seconds;
        session.timing = std::make_shared<TimingGPL>(session, s, entries);
        sessions.push_back(std::move(session));
    }
    return sessions;
}

// Missing carset keys leave the field at its default, silently.
void fillCarsetInfo(CarsetInfo& info, const IniSection& carset, const std::string& path) {
    if (!carsetLoaded(carset)) return;
    auto value = [&](const char* key, std::string& field) {
        try {
            field = carsetValue("Carset", key, carset, path);
        } catch (const std::exception&) {
        }
    };
    value("Name", info.name);
    value("CarDir", info.cardir);
    value("Physics", info.physics);
    value("ShortID", info.shortid);
    std::string year;
    value("Year", year);
    info.year = toInt16(year).value_or(0);
}

} // namespace

void DataGPL::build(RpyFile& file) {
    reader = std::make_unique<RpyGPL>(file);
    version = file.fileHeader() ? rpyVersionOf(*file.fileHeader()) : 0;
    const RpyHeader& h = reader->header;
    track = replayText(h.track());
    saverName = replayText(h.saverName());
    saverVersion = replayText(h.saverVersion());
    headerWord = h.word28();

    Event event;
    event.track = replayText(reader->weekend.track());
    event.carset = replayText(reader->weekend.carset());
    loadEventCarset(event.carset);
    CarsetLookups carset;
    for (const DriverInfo& d : reader->drivers) event.entries.push_back(makeEntry(d, carset));
    event.sessions = makeSessions(*reader, event.entries);
    events.push_back(std::move(event));

    carsetInfo = CarsetInfo{};
    fillCarsetInfo(carsetInfo, globals().carsetIni, globals().cstFile);
}

std::string Data::dumpText() const {
    std::string out = "Replay Data:\n";
    out += doformat("track      : %s\n", track);
    out += doformat("saver      : %s %s\n", saverName, saverVersion);
    for (const Event& ev : events) {
        out += "Event Data :\n";
        out += doformat("track      : %s\n", ev.track);
        out += doformat("carset     : %s\n", ev.carset);
        out += "Entry List :\n";
        for (const Entry& e : ev.entries) {
            std::string drivers;
            for (const Driver& d : e.drivers) {
                if (!drivers.empty()) drivers += ", ";
                drivers += d.firstName + " " + d.lastName + " " + d.nat + " " + d.remark;
            }
            out += doformat("%3d %-28.28s %-32.32s %s\n", e.number, e.team, e.chassis + "-" + e.engine,
                            drivers);
        }
        for (const Session& s : ev.sessions) {
            out += doformat("%s session Data:\n", toString(s.type));
            out += doformat("max. laps  : %s\n", s.maxLaps);
            out += doformat("max. secs  : %s\n", s.maxSecs);
            if (s.timing) out += s.timing->dumpText();
        }
    }
    return out;
}
