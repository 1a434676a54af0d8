#include "pipeline/replay_report.h"

#include "carset/carset.h"
#include "platform/platform.h"
#include "replay/replay_file.h"
#include "report/report.h"
#include "text/format.h"
#include "weekend/weekend_builder.h"

namespace {

// An input path that names something other than a folder.
bool isReadable(const std::string& path) { return platform::exists(path) && !platform::isDirectory(path); }

} // namespace

void checkReportInputs(const std::string& replayPath, const CarsetChoice& carset) {
    if (!isReadable(replayPath)) throw std::runtime_error(formatText("cannot read %s: no such file", replayPath));
    if (!carset.path.empty() && !isReadable(carset.path))
        throw CarsetError(formatText("cannot read %s: no such file", carset.path));
}

void writeReplayReport(const std::string& replayPath, const CarsetChoice& carset, const ReportOptions& options,
                       ReportSink& sink, Diagnostics& diagnostics) {
    const ReplayFile file(replayPath);
    writeReport(buildWeekend(file, carset, diagnostics), options, sink);
}

void writeReplayReport(const std::string& name, std::span<const std::uint8_t> bytes, const CarsetChoice& carset,
                       const ReportOptions& options, ReportSink& sink, Diagnostics& diagnostics) {
    const ReplayFile file(name, bytes);
    writeReport(buildWeekend(file, carset, diagnostics), options, sink);
}
