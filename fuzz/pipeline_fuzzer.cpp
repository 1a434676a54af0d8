// The whole conversion on one replay, the way the run driver makes it: both
// report formats with and without the lap listing and the header sections
// (each must be well-formed UTF-8), one of them also through a converting
// console.
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
    static fuzzsupport::MemFile file;
    file.assign(std::string_view(reinterpret_cast<const char*>(bytes), size));

    try {
        for (bool full : {false, true}) {
            ReportOptions options;
            options.laps = options.replayInfo = options.eventInfo = full;
            for (ReportFormat format : {ReportFormat::TEXT, ReportFormat::SEMIKV}) {
                options.format = format;
                const std::string text = fuzzsupport::checkedReport(file.path(), CarsetChoice{}, options);
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
