// JSON text (RFC 8259) for the report writers.
#pragma once

#include <string>
#include <string_view>

// Appends value as a JSON string, quotes included: '"' and '\' escaped, every
// control character (C0, DEL, C1) as its short escape or \u00XX, '<', '>',
// '&', U+2028 and U+2029 as \uXXXX (safe inside an HTML <script>), and
// ill-formed UTF-8 as U+FFFD, so the result is valid JSON and valid UTF-8
// whatever the bytes.
void appendJsonString(std::string& out, std::string_view value);
