// Text in a Windows code page to UTF-8.
#pragma once

#include <string>
#include <string_view>

// Bytes in a code page (up to the first NUL) to UTF-8; code page 0 is the
// system's ANSI code page. ASCII-only text passes unchanged without
// conversion. Failures throw std::runtime_error "Couldn't convert string: "
// + the system's text.
std::string fromMultiByte(std::string_view bytes, unsigned codePage);
