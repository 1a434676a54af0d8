#include "weekend/weekend.h"

#include <algorithm>

std::string toString(SessionType t) {
    switch (t) {
    case SessionType::TESTING: return "TESTING";
    case SessionType::PRACTICE: return "PRACTICE";
    case SessionType::RACE: return "RACE";
    }
    return "cast(SessT)" + std::to_string(static_cast<int>(t));
}

std::string displayName(const Driver& driver) {
    std::string name = driver.firstName;
    name += ' ';
    name += driver.lastName;
    return name;
}

Driver Drivers::find(std::int32_t driverId) const {
    for (const Driver& d : *this)
        if (d.driverId == driverId) return d;
    Driver unknown;
    unknown.remark = "invalid";
    return unknown;
}

EntryIndex::EntryIndex(const Entries& entries) : entries_(entries) {
    first_.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) first_.emplace_back(entries[i].carId, i);
    // Pairs sort by id, then position: the first entry of an id leads.
    std::sort(first_.begin(), first_.end());
    const auto sameId = [](const auto& a, const auto& b) { return a.first == b.first; };
    first_.erase(std::unique(first_.begin(), first_.end(), sameId), first_.end());
}

const Entry& EntryIndex::find(std::int32_t carId) const {
    const auto it = std::lower_bound(first_.begin(), first_.end(), carId,
                                     [](const auto& entry, std::int32_t id) { return entry.first < id; });
    return it == first_.end() || it->first != carId ? none_ : entries_[it->second];
}
