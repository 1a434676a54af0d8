// Tables of the semikv report: entry list, best-lap tables, race results and
// the per-car lap-time tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct Entries;
struct Session;

void appendSemikvEntryList(std::string& out, const Entries& entries);
// Nothing at all when no car has a valid lap.
void appendSemikvBestLaps(std::string& out, std::string_view title, const Session& session,
                          const Entries& entries);
// Race sessions only; nothing when the classification is empty.
void appendSemikvRaceResults(std::string& out, const Session& session, const Entries& entries);
// One table per car and session, sessions numbered from 1 over all types.
void appendSemikvLapTimes(std::string& out, const std::vector<Session>& sessions,
                          const Entries& entries);
