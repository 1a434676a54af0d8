// Console streams. Text is UTF-8 inside the program; a stream that is a
// terminal (or whose conversion is forced) gets it converted to the console
// output code page, a redirected stream gets the UTF-8 bytes unchanged.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "undead/doformat.h"

enum class ConvertMode : std::int8_t { NEVER = -1, AUTO = 0, ALWAYS = 1 };

// Declared for callers that want a console-specific failure type; nothing in
// the console module raises it.
class ConsoleException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ConsoleInput {
public:
    explicit ConsoleInput(std::FILE* stream);
    virtual ~ConsoleInput() = default;

    // Returns -1 when the terminal accepted the new echo mode, 0 otherwise.
    virtual int setEcho(bool on);
    // Reads the next line into `line` unless a line is still pending. Returns
    // true at end of input (nothing read).
    virtual bool readLine();
    virtual bool convert() const { return convert_; }
    virtual void convert(bool on) { convert_ = on; }
    virtual ConvertMode mode() const { return mode_; }
    virtual void mode(ConvertMode m);
    virtual void setConvert(bool on) { mode(on ? ConvertMode::ALWAYS : ConvertMode::NEVER); }

    std::string line;
    bool eof = false;

private:
    bool convert_ = false;
    ConvertMode mode_ = ConvertMode::AUTO;
    bool lastWasCR_ = false;
    std::FILE* stream_;
};

class ConsoleOutput {
public:
    explicit ConsoleOutput(std::FILE* stream);
    virtual ~ConsoleOutput() = default;

    virtual void flush();
    virtual bool convert() const { return convert_; }
    virtual void convert(bool on) { convert_ = on; }
    virtual ConvertMode mode() const { return mode_; }
    virtual void mode(ConvertMode m);
    virtual void setConvert(bool on) { mode(on ? ConvertMode::ALWAYS : ConvertMode::NEVER); }

    // Each writer formats its whole text, writes it and flushes at once. Only
    // an incomplete UTF-8 character at the very end waits for the next write.
    template <class... Args>
    void write(const Args&... args) { writeText(doformat("", args...)); }
    template <class... Args>
    void writeln(const Args&... args) { writeText(doformat("", args...) + "\n"); }
    template <class... Args>
    void writef(std::string_view fmt, const Args&... args) { writeText(doformat(fmt, args...)); }
    template <class... Args>
    void writefln(std::string_view fmt, const Args&... args) { writeText(doformat(fmt, args...) + "\n"); }

    // Writes text as it is, without formatting and without a copy of it (a
    // report can be tens of megabytes).
    void writeText(std::string_view text);

    std::FILE* stream() const { return stream_; }

private:
    void emit(std::string_view part);

    std::string buffer_;
    std::size_t flushed_ = 0;
    bool convert_ = false;
    ConvertMode mode_ = ConvertMode::AUTO;
    std::FILE* stream_;
};

// The three program-wide consoles (kept in the program state, see globals.h).
ConsoleInput& stdinConsole();
ConsoleOutput& stdoutConsole();
ConsoleOutput& stderrConsole();
