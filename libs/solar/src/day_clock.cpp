#include "solar/day_clock.h"

#include <algorithm>

#include "solar/sun_position.h"

namespace solar {

DayClock::DayClock(double stepHours) {
    for (int k = 0; k * stepHours < 24; ++k) {
        const double start = k * stepHours;
        const double end = std::min(24.0, start + stepHours);
        const double from = HourAngle(start), to = HourAngle(end), middle = (from + to) / 2;
        steps_.push_back({from, to, std::cos(middle), std::sin(middle), end - start});
        if (end >= 24) break;
    }
}

}  // namespace solar
