#pragma once

#include <string_view>

// The opening of every CSV document: a byte-order mark, so that
// spreadsheets read it as UTF-8.
inline constexpr std::string_view csvStart = "\xEF\xBB\xBF";
