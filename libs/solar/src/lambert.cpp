#include "solar/lambert.h"

#include <cmath>
#include <numbers>

namespace solar {

SunVector SunVectorOf(double azimuth, double elevation) {
    const double a = azimuth * std::numbers::pi / 180, e = elevation * std::numbers::pi / 180;
    return {std::sin(a) * std::cos(e), std::cos(a) * std::cos(e), std::sin(e)};
}

}  // namespace solar
