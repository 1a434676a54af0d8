#include "weekend/weekend.h"

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
    for (std::size_t i = 0; i < entries.size(); ++i) first_.try_emplace(entries[i].carId, i);
}

const Entry& EntryIndex::find(std::int32_t carId) const {
    const auto it = first_.find(carId);
    return it == first_.end() ? none_ : entries_[it->second];
}
