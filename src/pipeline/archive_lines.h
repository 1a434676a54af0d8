// The archive's rows one at a time, each as the JSON line the program's
// stream writes for it: what the C API and the Python module hand on.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "archive/archive.h"

// A row's line names its table first and ends in '\n'.
using RowLineOut = std::function<void(ArchiveTable table, std::string_view line)>;

// Reads the replays (paths as replayPaths lists them) and hands out each
// row on the calling thread, in the order of the program's stream. An
// exception from out stops the run and propagates.
ArchiveCounts readArchiveLines(std::span<const std::string> paths, const ArchiveOptions& options,
                               const RowLineOut& out);
// The same for replays given one by one, in their order: files, or bytes in
// memory named by their paths.
ArchiveCounts readArchiveLines(std::span<const ArchiveInput> inputs, const ArchiveOptions& options,
                               const RowLineOut& out);
