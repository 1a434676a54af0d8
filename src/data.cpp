#include "data.h"

// ---- Entry and driver lookups ---------------------------------------------

Driver Drivers::find(std::int32_t driverId) const {
    for (const Driver& d : *this)
        if (d.driverId == driverId) return d;
    Driver unknown;
    unknown.remark = "invalid";
    return unknown;
}

Entry Entries::find(std::int32_t carId) const {
    for (const Entry& e : *this)
        if (e.carId == carId) return e;
    return Entry{};
}
