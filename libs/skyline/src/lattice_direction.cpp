#include "skyline/lattice_direction.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace skyline {

namespace {

constexpr double kDegrees = 180.0 / 3.14159265358979323846;
constexpr int kLongestStep = 64;

double AngleBetween(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

}  // namespace

double AzimuthOf(LatticeDirection d, double cellX, double cellY) {
    // East is along the columns, north up the rows, each as far as its cell's side;
    // only the sides' ratio counts, taken so that no product overflows.
    const double longer = std::max(std::fabs(cellX), std::fabs(cellY));
    const double azimuth = std::atan2(d.dx * (cellX / longer), -d.dy * (cellY / longer)) * kDegrees;
    return azimuth < 0 ? azimuth + 360.0 : azimuth + 0.0;  // never -0
}

bool NearestLatticeDirection(double azimuth, double cellX, double cellY, double tolerance,
                             LatticeDirection* direction) {
    const double wanted = std::fmod(std::fmod(azimuth, 360.0) + 360.0, 360.0);
    bool found = false;
    int bestCost = 0;
    double bestError = 0;
    for (int dy = -kLongestStep; dy <= kLongestStep; ++dy) {
        for (int dx = -kLongestStep; dx <= kLongestStep; ++dx) {
            if ((dx == 0 && dy == 0) || std::gcd(dx, dy) != 1) continue;
            const LatticeDirection d{dx, dy};
            const double error = AngleBetween(AzimuthOf(d, cellX, cellY), wanted);
            const int cost = std::abs(dx) + std::abs(dy);
            if (error > tolerance) continue;
            if (!found || cost < bestCost || (cost == bestCost && error < bestError)) {
                found = true;
                bestCost = cost;
                bestError = error;
                *direction = d;
            }
        }
    }
    return found;
}

}  // namespace skyline
