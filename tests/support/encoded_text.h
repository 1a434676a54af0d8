// Text as fixtures and expectations need it: in a code page, as replays and
// carsets hold names, or escaped as an HTML page holds it.
#pragma once

#include <string>
#include <string_view>

// UTF-8 (up to the first NUL) to a code page, 0 for the system's ANSI one;
// ASCII passes unchanged. Failures throw std::runtime_error
// "Couldn't convert string: " + the system's text, as fromMultiByte does.
std::string toMultiByte(std::string_view utf8, unsigned codePage);

// The text as appendHtmlText writes it.
std::string htmlText(std::string_view text);
