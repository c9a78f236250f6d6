#pragma once
// A day cut into time steps, each sampled at the middle of its part between
// sunrise and sunset.
#include <cmath>
#include <vector>

namespace solar {

class DayClock {
public:
    // Steps of `stepHours` (above 0) from midnight, the last cut short at 24 h.
    explicit DayClock(double stepHours);

    // Calls visit(cosHourAngle, sinHourAngle, hours) for each step's part between
    // the hour angles -sunset and sunset (0 to pi), at its middle, `hours` its length.
    template <class Visit>
    void forEachStep(double sunset, Visit&& visit) const {
        for (const Step& s : steps_) {
            const double from = std::max(s.from, -sunset), to = std::min(s.to, sunset);
            if (!(from < to)) continue;
            if (from == s.from && to == s.to) {
                visit(s.cosMiddle, s.sinMiddle, s.hours);
            } else {
                const double middle = (from + to) / 2;
                visit(std::cos(middle), std::sin(middle), (to - from) * kHoursPerRadian);
            }
        }
    }

    static constexpr double kHoursPerRadian = 12 / 3.14159265358979323846;

private:
    struct Step {
        double from, to;  // hour angles
        double cosMiddle, sinMiddle, hours;
    };
    std::vector<Step> steps_;
};

}  // namespace solar
