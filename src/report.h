// The race-weekend report: dispatch to the text or semikv writer, the
// section order of both formats, and the semikv field-writing rule.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "undead/doformat.h"

class Data;

enum class OutputFormat : std::int32_t { TXT = 0, SEMIKV = 4 };

class Report {
public:
    // Only stores both; the data must outlive the report.
    Report(const Data& reportData, OutputFormat outputFormat)
        : data(reportData), format(outputFormat) {}

    // The whole report. An unknown format writes "Output format not
    // supported" on the standard-error console and gives an empty text.
    std::string toString() const;

    const Data& data;
    OutputFormat format;
};

// The two complete writers. Each gives an empty text when the data holds no
// event.
std::string textReport(const Data& data);
std::string semikvReport(const Data& data);

// Semikv fields: fills the pattern's %s/%d directives with the values and
// appends the result. A ';' inside a value becomes U+037E so that only the
// pattern's own semicolons separate fields; everything else in a value is
// kept as it is.
void appendSemikvArgs(std::string& out, std::string_view pattern, std::span<FormatArg> values);

template <class... Args>
void appendSemikv(std::string& out, std::string_view pattern, const Args&... values) {
    std::array<FormatArg, sizeof...(Args)> list{detail::toFormatArg(values)...};
    appendSemikvArgs(out, pattern, list);
}

// The value with every ';' replaced by U+037E (UTF-8 CD BE).
std::string semikvValue(std::string_view value);
