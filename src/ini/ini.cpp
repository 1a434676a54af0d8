#include "ini/ini.h"

#include <cstddef>
#include <string>
#include <vector>

#include "text/unicode.h"

namespace {

bool isLineEnd(char32_t c) {
    return c == U'\n' || c == U'\r' || c == U'\v' || c == U'\f' || c == U'\u0085' ||
           c == U'\u2028' || c == U'\u2029';
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t lineStart = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t at = pos;
        const char32_t c = unicode::decodeUtf8(text, pos);
        if (!isLineEnd(c)) continue;
        lines.push_back(text.substr(lineStart, at - lineStart));
        if (c == U'\r' && pos < text.size() && text[pos] == '\n') ++pos;
        lineStart = pos;
    }
    // A line end at the very end of the text does not open another line.
    if (lineStart < text.size()) lines.push_back(text.substr(lineStart));
    return lines;
}

std::string_view stripWhiteSpace(std::string_view s) {
    std::size_t first = std::string_view::npos;
    std::size_t lastEnd = 0;
    std::size_t pos = 0;
    while (pos < s.size()) {
        const std::size_t at = pos;
        if (unicode::isWhiteSpace(unicode::decodeUtf8(s, pos))) continue;
        if (first == std::string_view::npos) first = at;
        lastEnd = pos;
    }
    if (first == std::string_view::npos) return {};
    return s.substr(first, lastEnd - first);
}

std::size_t codePointCount(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < s.size(); ++n) unicode::decodeUtf8(s, pos);
    return n;
}

std::vector<std::string_view> splitDots(std::string_view s) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = s.find('.', start);
        if (dot == std::string_view::npos) break;
        parts.push_back(s.substr(start, dot - start));
        start = dot + 1;
    }
    parts.push_back(s.substr(start));
    return parts;
}


// Descends from section into its subsection called name, creating it when
// it doesn't exist yet.
IniSection& enterOrCreate(IniSection& section, std::string_view name, std::size_t line) {
    if (const auto it = section.sectionIndex.find(name); it != section.sectionIndex.end())
        return section.sections[it->second];
    IniSection& added = addSection(section, std::string(name));
    added.line = line;
    return added;
}

// Counts what a parse creates against the limits of maxIniKeys and
// maxIniKeyBytes.
class KeyBudget {
public:
    void spend(std::size_t keys, std::size_t bytes, std::size_t line) {
        keys_ += keys;
        bytes_ += bytes;
        if (keys_ > maxIniKeys || bytes_ > maxIniKeyBytes)
            throw IniException("Too many keys at line " + std::to_string(line), line);
    }

private:
    std::size_t keys_ = 0;
    std::size_t bytes_ = 0;
};

// Returns the section that the following key lines fill. Appending a
// subsection may move its siblings in memory, so the reference is only good
// until the next header; within one header the descent only ever appends
// below the section it holds.
IniSection& handleHeader(IniSection& root, std::string_view line, std::size_t lineNumber, KeyBudget& budget,
                         const IniDialect& dialect) {
    const std::string_view inner = line.substr(1, line.size() - 2);
    std::string_view name = inner;
    std::string_view base;
    if (const std::size_t colon = inner.find(':'); colon != std::string_view::npos) {
        name = stripWhiteSpace(inner.substr(0, colon));
        base = stripWhiteSpace(inner.substr(colon + 1));
    }

    IniSection* parent = &root;
    IniSection* current = &root;
    if (name.find('.') != std::string_view::npos) {
        for (std::string_view part : splitDots(name)) {
            parent = current;
            current = &enterOrCreate(*current, part, lineNumber);
        }
    } else {
        current = &enterOrCreate(root, name, lineNumber);
    }

    if (codePointCount(base) < 2) return *current;
    const IniSection& from = base.front() == '.' ? getSectionByPath(root, base.substr(1))
                                                 : getSectionByPath(*parent, base);
    std::size_t bytes = 0;
    for (const auto& [key, value] : from.keys) bytes += key.size() + value.size();
    budget.spend(from.keys.size(), bytes, lineNumber);
    // Copy first: the base may be the current section itself.
    std::map<std::string, std::string> inherited = from.keys;
    std::map<std::string, std::size_t> inheritedLines;
    if (dialect.inheritedKeyLines) inheritedLines = from.keyLines;
    current->keys = std::move(inherited);
    current->keyLines = std::move(inheritedLines);
    return *current;
}

// The line without a comment that starts at a ';' after white space, and
// without the white space before that comment.
std::string_view withoutTrailingComment(std::string_view line) {
    bool quoted = false;
    bool afterSpace = false;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t at = pos;
        const char32_t c = unicode::decodeUtf8(line, pos);
        if (c == U'"') quoted = !quoted;
        if (c == U';' && afterSpace && !quoted) return stripWhiteSpace(line.substr(0, at));
        afterSpace = unicode::isWhiteSpace(c);
    }
    return line;
}

std::string_view unquote(std::string_view value) {
    if (value.size() > 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

IniSection parseIni(std::string_view text, const IniDialect& dialect) {
    IniSection root;
    KeyBudget budget;
    IniSection* current = &root;
    const std::vector<std::string_view> lines = splitLines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string_view line = stripWhiteSpace(lines[n]);
        if (line.empty() || line.front() == ';') continue;
        if (dialect.trailingComments) line = withoutTrailingComment(line);
        if (line.size() >= 3 && line.front() == '[' && line.back() == ']') {
            try {
                current = &handleHeader(root, line, n, budget, dialect);
            } catch (const IniException& e) {
                throw IniException(e.what(), n);
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) throw IniException("Syntax error at line " + std::to_string(n), n);
        const std::string key(stripWhiteSpace(line.substr(0, eq)));
        const std::string value(unquote(stripWhiteSpace(line.substr(eq + 1))));
        budget.spend(1, key.size() + value.size(), n);
        current->keys[key] = value;
        current->keyLines[key] = n;
    }
    return root;
}

IniSection::~IniSection() {
    // Children are moved out level by level, so every destructor that runs
    // here meets an empty subsection list.
    std::vector<IniSection> pending = std::move(sections);
    while (!pending.empty()) {
        IniSection last = std::move(pending.back());
        pending.pop_back();
        for (IniSection& child : last.sections) pending.push_back(std::move(child));
        last.sections.clear();
    }
}

IniSection& addSection(IniSection& section, std::string name) {
    IniSection& added = section.sections.emplace_back();
    added.name = name;
    section.sectionIndex.try_emplace(std::move(name), section.sections.size() - 1);
    return added;
}

const IniSection* findSection(const IniSection& section, std::string_view name) {
    const auto it = section.sectionIndex.find(name);
    return it == section.sectionIndex.end() ? nullptr : &section.sections[it->second];
}

const IniSection& getSection(const IniSection& section, std::string_view name) {
    if (const IniSection* s = findSection(section, name)) return *s;
    throw IniException("Section '" + std::string(name) + "' does not exists");
}

const IniSection& getSectionByPath(const IniSection& section, std::string_view path) {
    const IniSection* s = &section;
    for (std::string_view part : splitDots(path)) s = &getSection(*s, part);
    return *s;
}
