// The whole conversion on one replay: read, game data build, and both report
// formats with and without the lap listing and the header sections (each
// must be well-formed UTF-8; one also goes through a converting console), and
// the diagnostic dumps of the data and of the records.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "console.h"
#include "data.h"
#include "fuzzsupport.h"
#include "globals.h"
#include "report.h"
#include "rpylib.h"

namespace {

// The report on its way to a console in one of a few code pages, as a
// terminal gets it.
void toConsole(const std::string& text, std::size_t seed) {
    static constexpr unsigned pages[] = {1252, 437, 1251, 65001};
    globals().consoleOutputCodePage = pages[seed % std::size(pages)];
    ConsoleOutput& out = stdoutConsole();
    out.mode(ConvertMode::ALWAYS);
    out.write(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static fuzzsupport::MemFile file;
    file.assign(std::string_view(reinterpret_cast<const char*>(bytes), size));
    fuzzsupport::quietReset();

    try {
        RpyFile rpy(file.path());
        const fuzzsupport::PoisonedTail tail(rpy.bytes().data(), rpy.bytes().size());
        rpy.checkHeader();
        std::unique_ptr<Data> data = create(rpy.game());
        if (!data) return 0;
        data->build(rpy);
        // The diagnostic views of the same data.
        data->dumpText();
        for (const DriverInfo& d : data->gpl().reader->drivers) d.toString();
        for (const RpySession& s : data->gpl().reader->sessions)
            for (const CarLaps& car : s.cars) car.toString();
        Globals& g = globals();
        for (bool full : {false, true}) {
            g.reportFlags[Flag::LAPS] = full;
            g.reportFlags[Flag::REPLAY_INFO] = full;
            g.reportFlags[Flag::EVENT_INFO] = full;
            for (OutputFormat format : {OutputFormat::TXT, OutputFormat::SEMIKV}) {
                const std::string text = Report(*data, format).toString();
                if (text.empty()) std::abort(); // a built replay always has an event
                fuzzsupport::checkUtf8(text);
                if (full && format == OutputFormat::TXT) toConsole(text, size);
            }
        }
    } catch (const std::runtime_error& e) {
        // The refusals the run driver turns into "Error: ..." and status 1.
        // Anything else escaping (logic_error, bad_alloc, ...) is a finding.
        fuzzsupport::checkMessage(e.what());
    }
    return 0;
}
