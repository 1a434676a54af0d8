// INI reader for carsets and season files: sections with key/value tables,
// dotted section paths and inheritance.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class IniException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    IniException(const std::string& message, std::size_t line) : std::runtime_error(message), line_(line) {}

    // The line (counted from 0) of a failure that parseIni met on a line.
    std::optional<std::size_t> line() const { return line_; }

private:
    std::optional<std::size_t> line_;
};

// A plain value tree. Subsections are held by value and carry no link back
// to their parent, so copies are independent and never dangle; the parser
// tracks the enclosing sections itself.
struct IniSection {
    std::string name = "root";
    std::vector<IniSection> sections; // direct subsections, in creation order
    std::map<std::string, std::string> keys;
    // The position in sections of the first subsection of each name, so that
    // a carset of many thousand cars is not searched from the start for
    // each. An ordered map: crafted names cannot make it slow as they could
    // a hash table. addSection keeps it.
    std::map<std::string, std::size_t, std::less<>> sectionIndex;
    // Where the text defined them, counted from 0, for messages that point
    // at a line: the header that first named the section, and the line
    // that gave each key its value (for an inherited key, the base's line).
    std::size_t line = 0;
    std::map<std::string, std::size_t> keyLines;

    IniSection() = default;
    IniSection(const IniSection&) = default;
    IniSection(IniSection&&) noexcept = default;
    IniSection& operator=(const IniSection&) = default;
    IniSection& operator=(IniSection&&) noexcept = default;
    // Takes the tree apart without recursion: one dotted header in a file
    // can nest sections far deeper than the stack allows.
    ~IniSection();
};

// Appends a subsection called name to section and indexes it. References to
// section's subsections are not valid afterwards.
IniSection& addSection(IniSection& section, std::string name);

// Inheritance copies keys, so that a short text could make a parse create
// billions; a parse creates at most this many keys, and this much key and
// value text (twice the largest carset read).
inline constexpr std::size_t maxIniKeys = 1'000'000;
inline constexpr std::size_t maxIniKeyBytes = std::size_t(128) << 20;

// Variations of the syntax that some files allow.
struct IniDialect {
    // A ';' after white space starts a comment that runs to the end of the
    // line, except inside double quotes.
    bool trailingComments = false;
    // Inherited keys keep their base's line in keyLines. Off, only keys
    // written in the section itself have a line: carsets inherit millions of
    // keys and need no lines for them.
    bool inheritedKeyLines = false;
};

// Parses a whole text into a new root section; throws IniException
// ("Syntax error at line <n>", lines counted from 0, "Too many keys at line
// <n>" past the limits above, or a missing inheritance base), which carries
// the line.
IniSection parseIni(std::string_view text, const IniDialect& dialect = {});

// The first direct subsection called name, or null.
const IniSection* findSection(const IniSection& section, std::string_view name);

// The first direct subsection called name; throws IniException
// "Section '<name>' does not exists".
const IniSection& getSection(const IniSection& section, std::string_view name);

// Follows a "."-separated path of subsection names; the first missing part
// fails as getSection does.
const IniSection& getSectionByPath(const IniSection& section, std::string_view path);
