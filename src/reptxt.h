// Tables of the plain-text report: entry list, best-lap tables, race
// results and the lap-time listing. Columns are padded by grapheme
// clusters and never cut.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct Driver;
struct Entries;
struct Session;

// "First Last", also when one of the two is empty.
std::string displayName(const Driver& driver);

// Entries sorted by car number; equal numbers keep their list order.
Entries sortedByNumber(const Entries& entries);

void appendTextEntryList(std::string& out, const Entries& entries);
// Nothing at all when no car has a valid lap.
void appendTextBestLaps(std::string& out, std::string_view title, const Session& session,
                        const Entries& entries);
// Race sessions only; nothing when the classification is empty.
void appendTextRaceResults(std::string& out, const Session& session, const Entries& entries);
// Every session, whatever its type: a heading and the timing's own listing.
void appendTextLapTimes(std::string& out, const std::vector<Session>& sessions);
