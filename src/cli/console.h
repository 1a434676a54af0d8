// Console streams. Text is UTF-8 inside the program; a stream that is a
// terminal (or whose conversion is forced) gets it converted to the console
// code page, a redirected stream gets the UTF-8 bytes unchanged.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

enum class ConvertMode : std::int8_t { NEVER = -1, AUTO = 0, ALWAYS = 1 };

class ConsoleOutput {
public:
    // codePage: the console's output code page, used when converting.
    ConsoleOutput(std::FILE* stream, unsigned codePage);

    void mode(ConvertMode m);
    bool converts() const { return convert_; }

    // Writes text as it is and flushes, without a copy of it (a report can
    // be tens of megabytes). Only an incomplete UTF-8 character at the very
    // end waits for the next write, so that pieces of one text may be
    // written one after the other.
    void writeText(std::string_view text);
    void writeLine(std::string_view text);

    std::FILE* stream() const { return stream_; }

private:
    void emit(std::string_view part);

    std::string heldBack_; // the start of a character split over two writes
    bool convert_ = false;
    std::FILE* stream_;
    unsigned codePage_;
};

// Standard error, where only messages and questions go. Whatever a line
// quotes (a path, a name from a file, the text of an exception) is shown
// with visible stand-ins and ill-formed bytes as U+FFFD
// (wellFormedVisibleText), so that no message can drive the terminal; a
// clean line goes out as it is.
class MessageOutput {
public:
    MessageOutput(std::FILE* stream, unsigned codePage) : console_(stream, codePage) {}

    void mode(ConvertMode m) { console_.mode(m); }
    void writeLine(std::string_view message);
    // A question, the answer typed after it on the same line.
    void ask(std::string_view question);
    // A progress line that the next one overwrites: back to the line's
    // start, then the text; endProgress ends the line.
    void progress(std::string_view text);
    void endProgress() { console_.writeText("\n"); }

    std::FILE* stream() const { return console_.stream(); }

private:
    ConsoleOutput console_;
};
