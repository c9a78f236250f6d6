// A run's texels in lanes against the one-texel day they repeat.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "solar/run_sum.h"

namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr double kNone = -9999;
constexpr std::size_t kDirections = 16;

// The two of 16 evenly spaced directions around a grid azimuth (radians): a and the next.
solar::HorizonPair Around(double azimuth) {
    const double degrees = std::fmod(azimuth / kDeg + 360, 360);
    const std::size_t a = static_cast<std::size_t>(degrees / 22.5) % kDirections;
    return {a, (degrees - a * 22.5) / 22.5};
}

// Texel k's horizon towards direction d in degrees; some directions have none.
double Horizon(std::size_t k, std::size_t d) {
    return (k + d) % 7 == 0 ? kNone : std::fmod(k * 13.0 + d * 7.0, 50) - 10;
}

// Thirteen texels (not a whole number of lanes) of many slopes, aspects, heights
// and horizons, on days that bring the low sun, the midnight sun and polar night;
// heights close together (the beam's share from its polynomial) and far apart.
TEST(RunSum, LanesRepeatTheOneTexelDay) {
    const struct {
        double latitude, north;
        int day;
        double step, rise, linke;  // metres a texel above the one before
    } cases[] = {{47, 0.01, 172, 0.5, 250, 3.5}, {47, -0.02, 355, 0.5, 20, 3.5}, {-30, 0, 80, 1, 250, 3.5},
                 {70, 0.05, 172, 0.25, 20, 7},   {75, 0, 355, 0.5, 250, 3.5},    {0, 0, 100, 0.7, 30, 10},
                 {60, 0, 80, 0.1, 1, 1}};
    for (const auto& c : cases) {
        const solar::Turbidity turbidity(c.linke);
        const solar::DayClock clock(c.step);
        const solar::Day day(c.day, clock, turbidity, 0.25);
        solar::RunTexels run;
        std::vector<std::size_t> order(kDirections);
        for (std::size_t d = 0; d < kDirections; ++d) order[d] = d;
        run.clear(order, kNone);
        std::vector<solar::Place> places;
        for (std::size_t k = 0; k < 13; ++k) {
            const solar::Surface surface(k % 4 == 0 ? 0 : (k * 7 % 60) * kDeg, (k * 53 % 360) * kDeg, 1 - 0.03 * k);
            places.push_back({c.latitude * kDeg, 400 + k * c.rise, surface, c.north});
            run.add(surface, solar::PressureRatio(400 + k * c.rise), [&](std::size_t d) { return Horizon(k, d); });
        }
        std::vector<solar::StepSun> steps;
        solar::StepsOfDay(day, solar::Trig(c.latitude * kDeg), std::cos(c.north), std::sin(c.north), Around, &steps);
        solar::RunTotals lanes;
        solar::AddSteps(steps.data(), steps.size(), day.extraterrestrial, c.linke, run, &lanes);
        for (std::size_t k = 0; k < places.size(); ++k) {
            const solar::DayTotals one = solar::SumDay(day, places[k], [&](double azimuth) {
                const solar::HorizonPair p = Around(azimuth);
                const double a = Horizon(k, p.pair), b = Horizon(k, (p.pair + 1) % kDirections);
                return (a == kNone && b == kNone ? -90 : a == kNone ? b : b == kNone ? a : a + (b - a) * p.t) * kDeg;
            });
            EXPECT_NEAR(lanes.beam[k], one.beam, 1e-9 * (1 + one.beam)) << c.latitude << " " << c.day << " " << k;
            EXPECT_NEAR(lanes.diffuse[k], one.diffuse, 1e-9 * (1 + one.diffuse)) << c.latitude << " " << k;
            EXPECT_NEAR(lanes.reflected(k, run, 0.25), one.reflected, 1e-9 * (1 + one.reflected))
                << c.latitude << " " << k;
            EXPECT_NEAR(lanes.sunHours[k], one.sunHours, 1e-12) << c.latitude << " " << c.day << " " << k;
        }
    }
}

}  // namespace
