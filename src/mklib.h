// Messages (warnings, fatal errors) and code-page text conversion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console.h"
#include "undead/doformat.h"

// Console output code page captured at start-up.
unsigned consoleOutputCodePage();

// Writes "Warning: (<tag>:<number>) <text>" and a newline on the standard
// error console; the run goes on.
void warningText(std::string_view tag, int number, const std::string& text);
template <class... Args>
void warning(std::string_view tag, int number, std::string_view fmt, const Args&... args) {
    warningText(tag, number, doformat(fmt, args...));
}

// Writes "Error: <text>" and a newline on the standard error console and ends
// the process with the status (-1 becomes 255 as the system reports it).
[[noreturn]] void fatalErrorText(int status, const std::string& text);
template <class... Args>
[[noreturn]] void fatalError(int status, std::string_view fmt, const Args&... args) {
    fatalErrorText(status, doformat(fmt, args...));
}

// Bytes in a code page (up to the first NUL) to UTF-8, and back. ASCII-only
// text passes unchanged without conversion. Failures throw std::runtime_error
// "Couldn't convert string: " + the system's text.
std::string fromMultiByte(std::string_view bytes, unsigned codePage);
std::string toMultiByte(std::string_view utf8, unsigned codePage);
