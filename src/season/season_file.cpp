#include "season/season_file.h"

#include <algorithm>
#include <set>

#include "ini/ini.h"
#include "platform/platform.h"
#include "text/format.h"
#include "text/unicode.h"

namespace {

// A season file is a few kilobytes; a special file that never ends is
// refused.
constexpr std::uint64_t maxSeasonBytes = std::uint64_t(16) << 20;

// Far beyond any real season, and far from overflowing a sum of them.
constexpr std::int64_t largestNumber = 1'000'000'000;

// Line numbers as editors show them.
std::size_t shownLine(std::size_t iniLine) { return iniLine + 1; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Digits only, no sign, at most largestNumber.
std::optional<std::int64_t> number(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > largestNumber) return std::nullopt;
    return value;
}

bool isValidUtf8(std::string_view s) {
    std::size_t pos = 0;
    while (pos < s.size()) {
        const std::size_t at = pos;
        // An ill-formed sequence decodes as U+FFFD of one byte; the real
        // character takes three.
        if (unicode::decodeUtf8(s, pos) == 0xFFFD && pos - at != 3) return false;
    }
    return true;
}

// A section's keys in the order of their lines.
std::vector<std::pair<std::size_t, const std::string*>> keysByLine(const IniSection& section) {
    std::vector<std::pair<std::size_t, const std::string*>> keys;
    keys.reserve(section.keyLines.size());
    for (const auto& [key, line] : section.keyLines) keys.emplace_back(line, &key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

class Reader {
public:
    Reader(const std::string& path, const IniSection& root) : root_(root) { season_.path = path; }

    SeasonFile read() {
        for (const auto& [line, key] : keysByLine(root_))
            fail(line, formatText("unknown key '%s' outside a section", *key));
        const IniSection* season = nullptr;
        const IniSection* aliases = nullptr;
        const IniSection* penalties = nullptr;
        for (const IniSection& section : root_.sections) {
            if (!section.sections.empty()) {
                const IniSection& inner = section.sections.front();
                fail(inner.line, formatText("unknown section [%s.%s]", section.name, inner.name));
            }
            if (section.name == "Season") season = &section;
            else if (section.name == "Aliases") aliases = &section;
            else if (section.name == "Penalties") penalties = &section;
            else if (std::optional<std::uint32_t> n = roundNumber(section.name)) readRound(section, *n);
            else fail(section.line, formatText("unknown section [%s]", section.name));
        }
        if (!season) fail(std::nullopt, "no [Season] section");
        readSeason(*season);
        if (season_.rounds.empty()) fail(std::nullopt, "no rounds ([Round1] and so on)");
        std::sort(season_.rounds.begin(), season_.rounds.end(),
                  [](const SeasonRound& a, const SeasonRound& b) { return a.number < b.number; });
        if (aliases) readAliases(*aliases);
        if (penalties) readPenalties(*penalties);
        return std::move(season_);
    }

private:
    [[noreturn]] void fail(std::optional<std::size_t> iniLine, std::string_view text) const {
        if (!iniLine) throw SeasonFileError(formatText("%s: %s", season_.path, text));
        throw SeasonFileError(season_.message(shownLine(*iniLine), text));
    }

    void onlyKnownKeys(const IniSection& section, std::initializer_list<std::string_view> known) const {
        for (const auto& [line, key] : keysByLine(section))
            if (std::find(known.begin(), known.end(), *key) == known.end())
                fail(line, formatText("unknown key '%s' in [%s]", *key, section.name));
    }

    static const std::string* value(const IniSection& section, const std::string& key) {
        const auto it = section.keys.find(key);
        return it == section.keys.end() || it->second.empty() ? nullptr : &it->second;
    }

    std::size_t lineOf(const IniSection& section, const std::string& key) const { return section.keyLines.at(key); }

    std::int64_t numberKey(const IniSection& section, const std::string& key, std::int64_t least) const {
        const std::optional<std::int64_t> n = number(trimmed(*value(section, key)));
        if (!n || *n < least)
            fail(lineOf(section, key), formatText("%s must be a whole number from %d to %d, not '%s'", key, least,
                                                  largestNumber, *value(section, key)));
        return *n;
    }

    static std::optional<std::uint32_t> roundNumber(std::string_view name) {
        constexpr std::string_view prefix = "Round";
        if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
        const std::optional<std::int64_t> n = number(name.substr(prefix.size()));
        if (!n || *n == 0) return std::nullopt;
        return static_cast<std::uint32_t>(*n);
    }

    void readSeason(const IniSection& section) {
        onlyKnownKeys(section, {"Name", "Points", "FastestLap", "FastestLapTop", "Drop", "Classified"});
        ScoringRules& rules = season_.rules;
        season_.name = value(section, "Name") ? *value(section, "Name") : defaultName();
        const std::string* points = value(section, "Points");
        if (!points) fail(section.line, "[Season] has no Points (points for 1st, 2nd, ...: Points=9,6,4,3,2,1)");
        std::string_view list = *points;
        for (;;) {
            const std::size_t comma = list.find(',');
            const std::optional<std::int64_t> n = number(trimmed(list.substr(0, comma)));
            if (!n)
                fail(lineOf(section, "Points"),
                     formatText("Points must be a list of whole numbers from 0 to %d, not '%s'", largestNumber, *points));
            rules.points.push_back(*n);
            if (comma == std::string_view::npos) break;
            list.remove_prefix(comma + 1);
        }
        if (value(section, "FastestLap")) rules.fastestLap = numberKey(section, "FastestLap", 0);
        if (value(section, "FastestLapTop"))
            rules.fastestLapTop = static_cast<std::uint32_t>(numberKey(section, "FastestLapTop", 1));
        if (value(section, "Drop")) rules.drop = static_cast<std::uint32_t>(numberKey(section, "Drop", 0));
        if (const std::string* classified = value(section, "Classified")) {
            std::string_view text = trimmed(*classified);
            if (!text.empty() && text.back() == '%') text = trimmed(text.substr(0, text.size() - 1));
            const std::optional<std::int64_t> percent = number(text);
            if (!percent || *percent > 100)
                fail(lineOf(section, "Classified"),
                     formatText("Classified must be a share of the winner's laps from 0%% to 100%%, not '%s'",
                                *classified));
            rules.classifiedPercent = static_cast<std::uint32_t>(*percent);
        }
    }

    // The season file's name without folder and extension.
    std::string defaultName() const {
        std::string_view name = season_.path;
        if (const std::size_t cut = name.find_last_of(platform::pathSeparator == '/' ? "/" : "/\\:");
            cut != std::string_view::npos)
            name.remove_prefix(cut + 1);
        if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
            name = name.substr(0, dot);
        return std::string(name);
    }

    void readRound(const IniSection& section, std::uint32_t number) {
        onlyKnownKeys(section, {"Replay", "Carset"});
        for (const SeasonRound& other : season_.rounds)
            if (other.number == number) fail(section.line, formatText("round %d is given twice", number));
        SeasonRound round;
        round.number = number;
        const std::string* replay = value(section, "Replay");
        if (!replay) fail(section.line, formatText("[%s] has no Replay (the path of the round's replay)", section.name));
        round.replay = *replay;
        round.replayPath = besideSeasonFile(season_.path, *replay);
        if (const std::string* carset = value(section, "Carset")) {
            round.carsetPath = besideSeasonFile(season_.path, *carset);
            round.carsetLine = shownLine(lineOf(section, "Carset"));
        }
        season_.rounds.push_back(std::move(round));
    }

    void readAliases(const IniSection& section) {
        for (const auto& [from, to] : section.keys) {
            if (from.empty() || to.empty())
                fail(lineOf(section, from), "an alias needs a name on both sides: name in a replay=name in the standings");
        }
        // Each name is followed to the end of its chain; a name met twice
        // on the way closes a loop.
        for (const auto& [from, to] : section.keys) {
            std::set<std::string_view> seen{from};
            std::string chain = from;
            const std::string* at = &to;
            for (;;) {
                chain += " = " + *at;
                if (!seen.insert(*at).second) fail(lineOf(section, from), formatText("aliases make a loop: %s", chain));
                const auto next = section.keys.find(*at);
                if (next == section.keys.end()) break;
                at = &next->second;
            }
            season_.aliases.emplace(from, SeasonFile::Alias{*at, shownLine(lineOf(section, from))});
        }
    }

    void readPenalties(const IniSection& section) {
        for (const auto& [line, key] : keysByLine(section)) {
            Penalty penalty;
            penalty.line = shownLine(line);
            const std::size_t dot = key->find('.');
            const std::optional<std::int64_t> round =
                dot == std::string::npos ? std::nullopt : number(trimmed(std::string_view(*key).substr(0, dot)));
            if (!round || dot + 1 == key->size())
                fail(line, formatText("a penalty is round.driver=..., not '%s'", *key));
            const bool known = std::any_of(season_.rounds.begin(), season_.rounds.end(),
                                           [&](const SeasonRound& r) { return r.number == *round; });
            if (!known) fail(line, formatText("penalty for round %d, which the season does not have", *round));
            penalty.round = static_cast<std::uint32_t>(*round);
            penalty.driver = season_.standingsName(std::string(trimmed(std::string_view(*key).substr(dot + 1))));
            const std::string& text = section.keys.at(*key);
            if (!readPenalty(text, penalty))
                fail(line, formatText("a penalty is +N s (seconds added), DSQ or -N points, not '%s'", text));
            season_.penalties.push_back(std::move(penalty));
        }
    }

    // "+N s" (N with up to three decimals), "DSQ" or "-N points".
    static bool readPenalty(std::string_view text, Penalty& penalty) {
        text = trimmed(text);
        if (sameWord(text, "DSQ")) {
            penalty.kind = Penalty::Kind::DISQUALIFICATION;
            return true;
        }
        if (text.empty() || (text.front() != '+' && text.front() != '-')) return false;
        const bool time = text.front() == '+';
        text.remove_prefix(1);
        std::size_t digits = 0;
        while (digits < text.size() && isDigit(text[digits])) ++digits;
        std::optional<std::int64_t> whole = number(text.substr(0, digits));
        text.remove_prefix(digits);
        if (!whole) return false;
        if (!time) {
            penalty.kind = Penalty::Kind::POINTS;
            penalty.amount = *whole;
            text = trimmed(text);
            return sameWord(text, "points") || sameWord(text, "point");
        }
        std::int64_t ms = *whole * 1000;
        if (!text.empty() && text.front() == '.') {
            text.remove_prefix(1);
            std::int64_t scale = 100;
            std::size_t decimals = 0;
            for (; decimals < text.size() && isDigit(text[decimals]); ++decimals, scale /= 10) {
                if (decimals == 3) return false;
                ms += (text[decimals] - '0') * scale;
            }
            if (decimals == 0) return false;
            text.remove_prefix(decimals);
        }
        penalty.kind = Penalty::Kind::TIME;
        penalty.amount = ms;
        return sameWord(trimmed(text), "s");
    }

    const IniSection& root_;
    SeasonFile season_;
};

} // namespace

const std::string& SeasonFile::standingsName(const std::string& driver) const {
    const auto it = aliases.find(driver);
    return it == aliases.end() ? driver : it->second.name;
}

std::string SeasonFile::message(std::size_t line, std::string_view text) const {
    return formatText("%s:%d: %s", path, line, text);
}

std::string seasonText(std::string_view bytes) {
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (bytes.substr(0, bom.size()) == bom) bytes.remove_prefix(bom.size());
    if (isValidUtf8(bytes)) return std::string(bytes);
    return platform::decodeCodePage(bytes, 1252);
}

SeasonFile parseSeasonFile(std::string_view bytes, const std::string& path) {
    IniSection root;
    try {
        root = parseIni(seasonText(bytes), IniDialect{.trailingComments = true, .inheritedKeyLines = true});
    } catch (const IniException& e) {
        if (!e.line()) throw SeasonFileError(formatText("%s: %s", path, e.what()));
        // The reader's own syntax message counts lines from 0.
        const bool syntax = std::string(e.what()) == "Syntax error at line " + std::to_string(*e.line());
        throw SeasonFileError(formatText("%s:%d: %s", path, shownLine(*e.line()),
                                         syntax ? "neither a [Section] header nor a key=value line" : e.what()));
    }
    return Reader(path, root).read();
}

SeasonFile readSeasonFile(const std::string& path) {
    std::string bytes;
    try {
        bytes = platform::readFile(path, maxSeasonBytes);
    } catch (const platform::FileError& e) {
        throw SeasonFileError(e.what()); // names the path already
    }
    return parseSeasonFile(bytes, path);
}

std::string besideSeasonFile(const std::string& seasonPath, const std::string& path) {
    const bool windows = platform::pathSeparator == '\\';
    const bool absolute = windows ? (path.size() >= 2 && path[1] == ':') || path.starts_with('\\') ||
                                        path.starts_with('/')
                                  : path.starts_with('/');
    if (absolute) return path;
    const std::size_t cut = seasonPath.find_last_of(windows ? "/\\:" : "/");
    return cut == std::string::npos ? path : seasonPath.substr(0, cut + 1) + path;
}
