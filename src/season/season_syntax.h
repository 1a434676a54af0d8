// The lines of a season file: the INI syntax of carsets with comments after
// values, kept as written. Every section and key keeps its line, repeated
// ones included, so that the reader can name both lines of a repetition.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct SeasonKey {
    std::string name;
    std::string value;
    std::size_t line = 0;   // counted from 1
    bool inherited = false; // copied from the base of "[Name : Base]"
};

struct SeasonSection {
    std::string name;
    std::size_t line = 0;        // of the header
    std::vector<SeasonKey> keys; // inherited ones first, then in line order
};

struct SeasonSyntax {
    std::vector<SeasonKey> looseKeys; // before the first header
    std::vector<SeasonSection> sections;
};

// A line that cannot be read; the message has no file name.
class SeasonSyntaxError : public std::runtime_error {
public:
    SeasonSyntaxError(const std::string& message, std::size_t line) : std::runtime_error(message), line_(line) {}
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

// Only CR, LF and CRLF end a line: a U+2028 or U+0085 inside a name must not
// shift the line numbers that messages show.
SeasonSyntax splitSeasonSyntax(std::string_view text);

// ASCII letters compared without regard to case.
bool sameAsciiWord(std::string_view a, std::string_view b);
