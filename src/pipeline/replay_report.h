// From a replay to its report: the one path the program, the C API and the
// Python module share.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "report/report.h"
#include "text/diagnostics.h"
#include "weekend/weekend_builder.h"

// The inputs a report reads, checked before anything is written: a replay
// path that names nothing or a folder throws std::runtime_error, a missing
// carset file CarsetError, each with the message users see.
void checkReportInputs(const std::string& replayPath, const CarsetChoice& carset);

// Reads and checks the replay, builds its weekend (carset included) and
// writes the report. Warnings go to diagnostics; failures throw with the
// message users see (ReplayAccessError when the path cannot be examined).
void writeReplayReport(const std::string& replayPath, const CarsetChoice& carset, const ReportOptions& options,
                       ReportSink& sink, Diagnostics& diagnostics);

// The same for a replay's bytes in memory, which must outlive the call;
// name stands for the replay in messages.
void writeReplayReport(const std::string& name, std::span<const std::uint8_t> bytes, const CarsetChoice& carset,
                       const ReportOptions& options, ReportSink& sink, Diagnostics& diagnostics);
