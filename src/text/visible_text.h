// Text from replays and carsets as reports and messages show it: control
// characters could forge report lines or drive the terminal, so each one
// (general category Cc, except TAB) is written as a visible stand-in.
#pragma once

#include <string>
#include <string_view>

// True when the UTF-8 text holds U+0000 to U+001F other than TAB, U+007F, or
// U+0080 to U+009F.
bool hasControlCharacters(std::string_view utf8);

// The text with U+0000 to U+001F (except TAB) written as the control
// pictures U+2400 to U+241F, U+007F as U+2421 and U+0080 to U+009F as
// U+FFFD. Every other byte, ill-formed ones too, stays as it is; a text
// without control characters comes back unchanged.
std::string visibleText(std::string text);

// As visibleText, and each byte of an ill-formed UTF-8 sequence as U+FFFD:
// well-formed UTF-8 whatever the bytes, for messages and for names that
// may come from file names. Clean text comes back unchanged.
std::string wellFormedVisibleText(std::string text);
