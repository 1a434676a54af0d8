#include "season/season_file.h"

#include <algorithm>
#include <set>

#include "platform/platform.h"
#include "season/season_syntax.h"
#include "text/format.h"
#include "text/unicode.h"
#include "text/utf16_text.h"

namespace {

// A season file is a few kilobytes; a special file that never ends is
// refused.
constexpr std::uint64_t maxSeasonBytes = std::uint64_t(16) << 20;

// Far beyond any real season, and far from overflowing a sum of them.
constexpr std::int64_t largestNumber = 1'000'000'000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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

// The edit distance of a and b without regard to ASCII case, adjacent
// letters swapped counting as one edit.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = asciiLower(a[i - 1]) == asciiLower(b[j - 1]);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && asciiLower(a[i - 1]) == asciiLower(b[j - 2]) &&
                asciiLower(a[i - 2]) == asciiLower(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The known name closest to a mistyped one, when one is close enough to be
// what was meant: two edits at most, and fewer than half its letters.
std::optional<std::string_view> closest(std::string_view name, std::initializer_list<std::string_view> known) {
    if (name.size() > 32) return std::nullopt; // no typo, and no quadratic table
    std::optional<std::string_view> best;
    std::size_t bestDistance = 3;
    for (std::string_view k : known) {
        const std::size_t distance = editDistance(name, k);
        if (distance < bestDistance && distance * 2 < k.size()) {
            best = k;
            bestDistance = distance;
        }
    }
    return best;
}

std::string withHint(std::string text, std::optional<std::string_view> hint, const char* open, const char* close) {
    if (hint) text += formatText("; did you mean %s%s%s?", open, *hint, close);
    return text;
}

// yyyy-mm-dd, a day the month has.
bool isDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    const std::optional<std::int64_t> year = number(text.substr(0, 4));
    const std::optional<std::int64_t> month = number(text.substr(5, 2));
    const std::optional<std::int64_t> day = number(text.substr(8, 2));
    if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1) return false;
    const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return *day <= days[*month - 1] + (*month == 2 && leap ? 1 : 0);
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = asciiLower(c);
    return out;
}

// "Round<n>" in any case, n from 1.
std::optional<std::uint32_t> roundNumber(std::string_view name) {
    constexpr std::string_view prefix = "Round";
    if (!sameAsciiWord(name.substr(0, prefix.size()), prefix)) return std::nullopt;
    const std::optional<std::int64_t> n = number(name.substr(prefix.size()));
    if (!n || *n == 0) return std::nullopt;
    return static_cast<std::uint32_t>(*n);
}

// A path as the season file writes it, with '\' as '/' on every system: a
// season written on Windows works elsewhere.
std::string portablePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

class Reader {
public:
    Reader(const std::string& path, const SeasonSyntax& syntax) : syntax_(syntax) { season_.path = path; }

    SeasonFile read() {
        if (!syntax_.looseKeys.empty())
            fail(syntax_.looseKeys.front().line,
                 formatText("unknown key '%s' outside a section", syntax_.looseKeys.front().name));
        const SeasonSection* season = nullptr;
        const SeasonSection* aliases = nullptr;
        const SeasonSection* penalties = nullptr;
        std::map<std::string, std::size_t> sectionLines; // by the name in lower case
        for (const SeasonSection& section : syntax_.sections) {
            const auto [seen, fresh] = sectionLines.try_emplace(lowerAscii(section.name), section.line);
            if (!fresh)
                fail(section.line, formatText("section [%s] is given twice, first on line %d", section.name, seen->second));
            if (sameAsciiWord(section.name, "Season")) season = &section;
            else if (sameAsciiWord(section.name, "Aliases")) aliases = &section;
            else if (sameAsciiWord(section.name, "Penalties")) penalties = &section;
            else if (std::optional<std::uint32_t> n = roundNumber(section.name)) readRound(section, *n);
            else
                fail(section.line, withHint(formatText("unknown section [%s]", section.name),
                                            closest(section.name, {"Season", "Aliases", "Penalties"}), "[", "]"));
        }
        if (!season) fail(std::nullopt, "no [Season] section");
        readSeason(*season);
        if (rounds_.empty()) fail(std::nullopt, "no rounds ([Round1] and so on)");
        for (auto& [number, round] : rounds_) season_.rounds.push_back(std::move(round));
        if (season_.rules.drop >= season_.rounds.size())
            fail(dropLine_, formatText("Drop=%d leaves no round to count: the season has %d round%s", season_.rules.drop,
                                       season_.rounds.size(), season_.rounds.size() == 1 ? "" : "s"));
        if (aliases) readAliases(*aliases);
        if (penalties) readPenalties(*penalties);
        return std::move(season_);
    }

private:
    [[noreturn]] void fail(std::optional<std::size_t> line, std::string_view text) const {
        if (!line) throw SeasonFileError(formatText("%s: %s", season_.path, text));
        throw SeasonFileError(season_.message(*line, text));
    }

    [[noreturn]] void failTwice(const SeasonSection& section, const SeasonKey& key, std::size_t first) const {
        fail(key.line, formatText("key '%s' in [%s] is given twice, first on line %d", key.name, section.name, first));
    }

    // The section's keys by the known name each spells in any case; an
    // unknown or a repeated key fails. A key written in the section
    // replaces one it inherits.
    using KnownKeys = std::map<std::string_view, const SeasonKey*>;
    KnownKeys knownKeys(const SeasonSection& section, std::initializer_list<std::string_view> known) const {
        KnownKeys keys;
        for (const SeasonKey& key : section.keys) {
            const auto name = std::find_if(known.begin(), known.end(), [&](std::string_view k) { return sameAsciiWord(k, key.name); });
            if (name == known.end())
                fail(key.line, withHint(formatText("unknown key '%s' in [%s]", key.name, section.name),
                                        closest(key.name, known), "'", "'"));
            const SeasonKey*& slot = keys[*name];
            if (slot && !slot->inherited) failTwice(section, key, slot->line);
            slot = &key;
        }
        return keys;
    }

    // The value of a key, none when absent or empty.
    static const SeasonKey* value(const KnownKeys& keys, std::string_view name) {
        const auto it = keys.find(name);
        return it == keys.end() || it->second->value.empty() ? nullptr : it->second;
    }

    std::int64_t numberKey(const SeasonKey& key, std::string_view name, std::int64_t least) const {
        const std::optional<std::int64_t> n = number(trimmed(key.value));
        if (!n || *n < least)
            fail(key.line,
                 formatText("%s must be a whole number from %d to %d, not '%s'", name, least, largestNumber, key.value));
        return *n;
    }

    void readSeason(const SeasonSection& section) {
        const KnownKeys keys = knownKeys(section, {"Name", "Points", "FastestLap", "FastestLapTop", "Drop", "Classified",
                                                   "League", "Logo", "Accent", "Style", "Url"});
        ScoringRules& rules = season_.rules;
        season_.name = value(keys, "Name") ? value(keys, "Name")->value : defaultName();
        readIdentity(keys);
        const SeasonKey* points = value(keys, "Points");
        if (!points) fail(section.line, "[Season] has no Points (points for 1st, 2nd, ...: Points=9,6,4,3,2,1)");
        std::string_view list = points->value;
        for (;;) {
            const std::size_t comma = list.find(',');
            const std::optional<std::int64_t> n = number(trimmed(list.substr(0, comma)));
            if (!n)
                fail(points->line, formatText("Points must be a list of whole numbers from 0 to %d, not '%s'",
                                              largestNumber, points->value));
            rules.points.push_back(*n);
            if (comma == std::string_view::npos) break;
            list.remove_prefix(comma + 1);
        }
        if (const SeasonKey* key = value(keys, "FastestLap")) rules.fastestLap = numberKey(*key, "FastestLap", 0);
        if (const SeasonKey* key = value(keys, "FastestLapTop"))
            rules.fastestLapTop = static_cast<std::uint32_t>(numberKey(*key, "FastestLapTop", 1));
        if (const SeasonKey* key = value(keys, "Drop")) {
            rules.drop = static_cast<std::uint32_t>(numberKey(*key, "Drop", 0));
            dropLine_ = key->line;
        }
        if (const SeasonKey* classified = value(keys, "Classified")) {
            std::string_view text = trimmed(classified->value);
            if (!text.empty() && text.back() == '%') text = trimmed(text.substr(0, text.size() - 1));
            const std::optional<std::int64_t> percent = number(text);
            if (!percent || *percent > 100)
                fail(classified->line,
                     formatText("Classified must be a share of the winner's laps from 0%% to 100%%, not '%s'",
                                classified->value));
            rules.classifiedPercent = static_cast<std::uint32_t>(*percent);
        }
    }

    void readIdentity(const KnownKeys& keys) {
        SeasonIdentity& identity = season_.identity;
        if (const SeasonKey* key = value(keys, "League")) identity.league = key->value;
        if (const SeasonKey* key = value(keys, "Url")) identity.url = key->value;
        if (const SeasonKey* key = value(keys, "Logo")) {
            identity.logoPath = besideSeasonFile(season_.path, portablePath(key->value));
            const std::string lower = lowerAscii(identity.logoPath);
            if (!std::any_of(std::begin(logoTypes), std::end(logoTypes),
                             [&](std::string_view type) { return lower.ends_with(type); }))
                fail(key->line, formatText("Logo must be a .png, .jpg, .jpeg or .svg file, not '%s'", key->value));
        }
        if (const SeasonKey* key = value(keys, "Style"))
            identity.stylePath = besideSeasonFile(season_.path, portablePath(key->value));
        if (const SeasonKey* key = value(keys, "Accent")) {
            const std::string_view text = trimmed(key->value);
            const bool hex = text.size() == 7 && text[0] == '#' &&
                             std::all_of(text.begin() + 1, text.end(), [](char c) {
                                 return isDigit(c) || (asciiLower(c) >= 'a' && asciiLower(c) <= 'f');
                             });
            if (!hex) fail(key->line, formatText("Accent must be a colour as #rrggbb, not '%s'", key->value));
            identity.accent = lowerAscii(text);
        }
    }

    static constexpr std::string_view logoTypes[] = {".png", ".jpg", ".jpeg", ".svg"};

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

    void readRound(const SeasonSection& section, std::uint32_t number) {
        const KnownKeys keys = knownKeys(section, {"Replay", "Carset", "Name", "Date", "Track"});
        const auto [it, fresh] = rounds_.try_emplace(number);
        if (!fresh)
            fail(section.line, formatText("round %d is given twice, first on line %d", number, roundLines_.at(number)));
        if (rounds_.size() > maxSeasonRounds)
            fail(section.line, formatText("more than %d rounds; a season file holds at most %d", maxSeasonRounds,
                                          maxSeasonRounds));
        roundLines_[number] = section.line;
        SeasonRound& round = it->second;
        round.number = number;
        if (const SeasonKey* key = value(keys, "Name")) round.name = key->value;
        if (const SeasonKey* key = value(keys, "Track")) round.track = key->value;
        if (const SeasonKey* key = value(keys, "Date")) {
            round.date = trimmed(key->value);
            if (!isDate(round.date))
                fail(key->line, formatText("Date must be a date as yyyy-mm-dd (2024-05-19), not '%s'", key->value));
        }
        const SeasonKey* replay = value(keys, "Replay");
        if (!replay) {
            if (const SeasonKey* carset = value(keys, "Carset"))
                fail(carset->line, formatText("[%s] has a Carset but no Replay", section.name));
            return; // a round still to come
        }
        round.replay = replay->value;
        round.replayPath = besideSeasonFile(season_.path, portablePath(replay->value));
        round.replayLine = replay->line;
        if (const SeasonKey* carset = value(keys, "Carset")) {
            round.carsetPath = besideSeasonFile(season_.path, portablePath(carset->value));
            round.carsetLine = carset->line;
        }
    }

    void readAliases(const SeasonSection& section) {
        std::map<std::string, const SeasonKey*> next;
        for (const SeasonKey& key : section.keys) {
            if (key.name.empty() || key.value.empty())
                fail(key.line, "an alias needs a name on both sides: name in a replay=name in the standings");
            const auto [it, fresh] = next.try_emplace(key.name, &key);
            if (!fresh && !it->second->inherited) failTwice(section, key, it->second->line);
            it->second = &key;
        }
        // Each name is followed to the end of its chain once: the names met
        // on the way share that end. A name met twice on one walk closes a
        // loop.
        std::map<std::string_view, const std::string*> end;
        std::set<std::string_view> onWalk;
        for (const auto& [from, first] : next) {
            if (end.count(from)) continue;
            std::vector<std::string_view> walk{from};
            onWalk = {from};
            const std::string* at = &first->value;
            for (;;) {
                if (const auto known = end.find(*at); known != end.end()) {
                    at = known->second;
                    break;
                }
                if (!onWalk.insert(*at).second) fail(first->line, loopText(walk, *at));
                const auto step = next.find(*at);
                if (step == next.end()) break;
                walk.push_back(*at);
                at = &step->second->value;
            }
            for (std::string_view name : walk) end.emplace(name, at);
        }
        for (const auto& [from, key] : next)
            season_.aliases.emplace(from, SeasonFile::Alias{*end.at(from), key->value, key->line});
    }

    // "aliases make a loop: A = B = C = A", the first few names of a long one.
    static std::string loopText(const std::vector<std::string_view>& walk, std::string_view again) {
        constexpr std::size_t shown = 6;
        std::string text = "aliases make a loop: ";
        for (std::size_t i = 0; i < walk.size() && i < shown; ++i) text += std::string(walk[i]) + " = ";
        return text + (walk.size() <= shown ? std::string(again) : formatText("... (%d names)", walk.size()));
    }

    void readPenalties(const SeasonSection& section) {
        std::map<std::pair<std::int64_t, std::string_view>, std::size_t> given;
        for (const SeasonKey& key : section.keys) {
            Penalty penalty;
            penalty.line = key.line;
            const std::string_view name = key.name;
            const std::size_t dot = name.find('.');
            const std::optional<std::int64_t> round =
                dot == std::string::npos ? std::nullopt : number(trimmed(name.substr(0, dot)));
            if (!round || dot + 1 == name.size())
                fail(key.line, formatText("a penalty is round.driver=..., not '%s'", key.name));
            if (!roundLines_.count(static_cast<std::uint32_t>(*round)))
                fail(key.line, formatText("penalty for round %d, which the season does not have", *round));
            const std::string_view driver = trimmed(name.substr(dot + 1));
            if (const auto [it, fresh] = given.try_emplace({*round, driver}, key.line); !fresh)
                failTwice(section, key, it->second);
            penalty.round = static_cast<std::uint32_t>(*round);
            penalty.driver = season_.standingsName(std::string(driver));
            if (!readPenalty(key.value, penalty))
                fail(key.line,
                     formatText("a penalty is +N s (seconds added), DSQ, -N points or +N points, not '%s'", key.value));
            season_.penalties.push_back(std::move(penalty));
        }
    }

    // "+N s" (N with up to three decimals), "DSQ", "-N points" or "+N points".
    static bool readPenalty(std::string_view text, Penalty& penalty) {
        text = trimmed(text);
        if (sameAsciiWord(text, "DSQ")) {
            penalty.kind = Penalty::Kind::DISQUALIFICATION;
            return true;
        }
        if (text.empty() || (text.front() != '+' && text.front() != '-')) return false;
        const bool plus = text.front() == '+';
        text.remove_prefix(1);
        std::size_t digits = 0;
        while (digits < text.size() && isDigit(text[digits])) ++digits;
        std::optional<std::int64_t> whole = number(text.substr(0, digits));
        text.remove_prefix(digits);
        if (!whole) return false;
        if (sameAsciiWord(trimmed(text), "points") || sameAsciiWord(trimmed(text), "point")) {
            penalty.kind = Penalty::Kind::POINTS;
            penalty.amount = plus ? -*whole : *whole;
            return true;
        }
        if (!plus) return false;
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
        return sameAsciiWord(trimmed(text), "s");
    }

    const SeasonSyntax& syntax_;
    SeasonFile season_;
    std::map<std::uint32_t, SeasonRound> rounds_;      // by number
    std::map<std::uint32_t, std::size_t> roundLines_; // of their headers
    std::optional<std::size_t> dropLine_;
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
    if (std::optional<std::string> text = utf16WithByteOrderMark(bytes)) return std::move(*text);
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (bytes.substr(0, bom.size()) == bom) bytes.remove_prefix(bom.size());
    if (isValidUtf8(bytes)) return std::string(bytes);
    return platform::decodeCodePage(bytes, 1252);
}

SeasonFile parseSeasonFile(std::string_view bytes, const std::string& path) {
    SeasonSyntax syntax;
    try {
        syntax = splitSeasonSyntax(seasonText(bytes));
    } catch (const SeasonSyntaxError& e) {
        throw SeasonFileError(formatText("%s:%d: %s", path, e.line(), e.what()));
    }
    return Reader(path, syntax).read();
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
