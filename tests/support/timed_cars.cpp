#include "timed_cars.h"

SessionTiming timingOf(const std::vector<TimedCar>& cars) {
    SessionTimingBuilder builder;
    std::size_t crossings = 0;
    for (const TimedCar& car : cars) crossings += car.laps.size();
    builder.reserve(cars.size(), crossings);
    for (const TimedCar& car : cars) {
        builder.addCar(car.carId, car.driverId, car.number);
        for (const TimedLap& lap : car.laps) builder.addLap(lap);
    }
    return builder.build();
}
