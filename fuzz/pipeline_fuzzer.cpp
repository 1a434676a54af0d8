// The whole conversion on one replay, the way the run driver makes it: every
// report format with and without the lap listing and the header sections
// (each must be well-formed UTF-8), the text also through a converting
// console. The replay is read straight from the fuzzer's buffer, so a read
// past its end is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <string_view>

#include "cli/console.h"
#include "fuzzsupport.h"
#include "report/report.h"
#include "weekend/weekend_builder.h"

namespace {

// The report on its way to a console in one of a few code pages, as a
// terminal gets it.
void toConsole(const std::string& text, std::size_t seed) {
    static constexpr unsigned pages[] = {1252, 437, 1251, 65001};
    static std::FILE* devNull = std::fopen("/dev/null", "w");
    if (!devNull) std::abort();
    ConsoleOutput out(devNull, pages[seed % std::size(pages)]);
    out.mode(ConvertMode::ALWAYS);
    out.writeText(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    try {
        const Weekend weekend =
            fuzzsupport::weekendOf(std::string_view(reinterpret_cast<const char*>(bytes), size), CarsetChoice{});
        for (bool full : {false, true}) {
            ReportOptions options;
            options.laps = options.replayInfo = options.eventInfo = full;
            for (ReportFormat format : {ReportFormat::TEXT, ReportFormat::SEMIKV, ReportFormat::JSON,
                                        ReportFormat::CSV, ReportFormat::HTML}) {
                options.format = format;
                const std::string text = fuzzsupport::checkedReport(weekend, options);
                if (full && format == ReportFormat::TEXT) toConsole(text, size);
            }
        }
    } catch (const std::runtime_error& e) {
        // The refusals the run driver turns into "Error: ..." and status 1.
        // Anything else escaping (logic_error, bad_alloc, ...) is a finding.
        fuzzsupport::checkMessage(e.what());
    }
    return 0;
}
