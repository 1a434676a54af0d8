// The season file: the championship's scoring rules, its rounds with their
// replays, the aliases that join a driver's names and the stewards'
// penalties. The INI syntax of carsets, with comments after values; section
// and key names in any case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A season file that cannot be used. The message names the file and, where
// there is one, the line ("season.ini:12: ...", lines counted from 1).
class SeasonFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ScoringRules {
    std::vector<std::int64_t> points;           // for 1st, 2nd, ...
    std::int64_t fastestLap = 0;                // bonus; 0 for none
    std::optional<std::uint32_t> fastestLapTop; // bonus only within the top N
    std::uint32_t drop = 0;                     // worst rounds not counted
    std::optional<std::uint32_t> classifiedPercent;
};

// More rounds than any championship runs; a file of many thousand is
// refused before any replay is read.
inline constexpr std::size_t maxSeasonRounds = 1'000;

struct SeasonRound {
    std::uint32_t number = 0;
    std::string name;  // empty for none
    std::string date;  // ISO 8601 (yyyy-mm-dd); empty for none
    std::string track; // a display name; empty: the replay's
    std::string replay;     // as the season file writes it; empty for a round still to come
    std::string replayPath; // found from the season file's folder; a backslash read as '/'
    std::string carsetPath; // likewise; empty for none
    std::size_t replayLine = 0;
    std::size_t carsetLine = 0;
};

struct Penalty {
    enum class Kind { TIME, DISQUALIFICATION, POINTS };
    Kind kind = Kind::TIME;
    std::uint32_t round = 0;
    std::string driver;      // the name in the standings
    std::int64_t amount = 0; // milliseconds added, or points taken (given when below 0)
    std::size_t line = 0;
};

// How the league presents itself on its site. Paths are found from the
// season file's folder; empty fields are not given.
struct SeasonIdentity {
    std::string league;
    std::string logoPath; // PNG, JPEG or SVG
    std::string accent;   // "#rrggbb"
    std::string stylePath;
    std::string url; // the site's public address
};

struct SeasonFile {
    std::string path;
    std::string name;
    SeasonIdentity identity;
    ScoringRules rules;
    std::vector<SeasonRound> rounds; // by number, those to come included
    std::vector<Penalty> penalties;  // in file order
    // Each aliased name with the standings name it ends at, and the line
    // of its alias.
    struct Alias {
        std::string name;
        std::string next; // the right side as written
        std::size_t line = 0;
    };
    std::map<std::string, Alias> aliases;

    // The standings name of a name as a replay or a penalty writes it.
    const std::string& standingsName(const std::string& driver) const;
    // "path:line: text".
    std::string message(std::size_t line, std::string_view text) const;
};

// Reads and checks the file; throws SeasonFileError.
SeasonFile readSeasonFile(const std::string& path);
// The same for the file's bytes; path names the file in messages and is
// where relative paths start from.
SeasonFile parseSeasonFile(std::string_view bytes, const std::string& path);

// The text of the file's bytes: UTF-8 without its byte-order mark, UTF-16
// with one, or, when the bytes are neither, Windows-1252.
std::string seasonText(std::string_view bytes);

// A path written in the season file, for use from the working directory:
// relative paths start at the season file's folder.
std::string besideSeasonFile(const std::string& seasonPath, const std::string& path);
