#include "skyline/derived_products.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "solar/lambert.h"

namespace skyline {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadians = kPi / 180.0;

// Indices of the azimuths in increasing order (taken modulo 360).
std::vector<std::size_t> Order(const std::vector<double>& azimuths) {
    std::vector<std::size_t> order(azimuths.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return azimuths[a] < azimuths[b]; });
    return order;
}

double Wrap(double degrees) { return std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0); }

// Each direction's share of the circle: half the gaps to the azimuths beside its
// own. Directions at one azimuth (asked apart, the same grid direction) split
// that share evenly, so that together they weigh what one would.
std::vector<double> SectorWeights(const std::vector<double>& azimuths) {
    const std::vector<std::size_t> order = Order(azimuths);
    const std::size_t n = order.size();
    std::vector<double> weights(n, 1.0);
    // Where each run of equal azimuths starts in `order`.
    std::vector<std::size_t> runs;
    for (std::size_t i = 0; i < n; ++i)
        if (i == 0 || azimuths[order[i]] != azimuths[order[i - 1]]) runs.push_back(i);
    const std::size_t m = runs.size();
    for (std::size_t r = 0; r < m; ++r) {
        const std::size_t from = runs[r], to = r + 1 < m ? runs[r + 1] : n;
        double share = 1.0;
        if (m > 1) {
            const double here = azimuths[order[from]];
            const double before = Wrap(here - azimuths[order[runs[(r + m - 1) % m]]]);
            const double after = Wrap(azimuths[order[runs[(r + 1) % m]]] - here);
            share = (before + after) / 2 / 360.0;
        }
        for (std::size_t i = from; i < to; ++i) weights[order[i]] = share / static_cast<double>(to - from);
    }
    return weights;
}

// Elevation gradient: metres per metre east and north.
double Derivative(const Grid& grid, std::int64_t x, std::int64_t y, std::int64_t dx, std::int64_t dy, double cell) {
    const auto at = [&](std::int64_t k) {
        const std::int64_t u = x + k * dx, v = y + k * dy;
        return u < 0 || v < 0 || u >= grid.width || v >= grid.height ? std::nan("") : grid.at(u, v);
    };
    const double before = at(-1), here = at(0), after = at(1);
    if (!std::isnan(before) && !std::isnan(after)) return (after - before) / (2 * cell);
    if (!std::isnan(after)) return (after - here) / cell;
    if (!std::isnan(before)) return (here - before) / cell;
    return 0;
}

}  // namespace

SurfaceGradient GradientAt(const Grid& grid, double cellX, double cellY, std::int64_t x, std::int64_t y) {
    // The signed sizes turn the grid's axes to east and south.
    return {Derivative(grid, x, y, 1, 0, cellX), -Derivative(grid, x, y, 0, 1, cellY)};
}

SurfaceOrientation OrientationAt(const Grid& grid, double cellX, double cellY, std::int64_t x, std::int64_t y) {
    const auto [east, north] = GradientAt(grid, cellX, cellY, x, y);
    SurfaceOrientation o;
    o.slope = std::atan(std::hypot(east, north));
    o.aspect = east == 0 && north == 0 ? 0 : std::atan2(-east, -north);
    return o;
}

SkyViewSum::SkyViewSum(const Grid& grid, double cellX, double cellY, const std::vector<double>& azimuths,
                       SvfModel model)
    : grid_(grid), cellX_(cellX), cellY_(cellY), azimuths_(azimuths), weights_(SectorWeights(azimuths)), model_(model) {
    const std::size_t texels = std::size_t{grid.width} * grid.height;
    sum_.assign(texels, 0.0);
    if (model == SvfModel::Sloped) {
        north_.assign(texels, 0.0);
        east_.assign(texels, 0.0);
    }
}

void SkyViewSum::add(std::size_t k, const std::vector<float>& band) {
    const double phi = azimuths_[k] * kRadians, w = weights_[k];
    const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
    for (std::size_t i = 0; i < sum_.size(); ++i) {
        const double h = band[i] == kNoData ? 0.0 : band[i] * kRadians;
        if (model_ == SvfModel::Sloped) {
            // The sky ends at the horizontal; the tilt is in the weights, and
            // cos(phi - A) splits into its parts along north and east.
            const double z = kPi / 2 - std::max(h, 0.0);
            const double tilted = w * (z - std::sin(z) * std::cos(z));
            sum_[i] += w * std::sin(z) * std::sin(z);
            north_[i] += cosPhi * tilted;
            east_[i] += sinPhi * tilted;
        } else if (model_ == SvfModel::Horizontal) {
            const double c = std::cos(std::max(h, 0.0));
            sum_[i] += w * c * c;
        } else {
            sum_[i] += w * std::sin(std::max(h, 0.0));
        }
    }
}

std::vector<float> SkyViewSum::result() const {
    std::vector<float> svf(sum_.size(), kNoData);
    for (std::int64_t y = 0; y < grid_.height; ++y) {
        for (std::int64_t x = 0; x < grid_.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * grid_.width + x;
            if (std::isnan(grid_.z[i])) continue;
            double value = model_ == SvfModel::Zaksek ? 1 - sum_[i] : sum_[i];
            if (model_ == SvfModel::Sloped) {
                const SurfaceOrientation o = OrientationAt(grid_, cellX_, cellY_, x, y);
                value = std::cos(o.slope) * sum_[i] +
                        std::sin(o.slope) * (std::cos(o.aspect) * north_[i] + std::sin(o.aspect) * east_[i]);
            }
            svf[i] = static_cast<float>(std::clamp(value, 0.0, 1.0));
        }
    }
    return svf;
}

std::vector<float> SkyViewFactor(const Grid& grid, double cellX, double cellY,
                                 const std::vector<std::vector<float>>& bands, const std::vector<double>& azimuths,
                                 SvfModel model) {
    SkyViewSum sum(grid, cellX, cellY, azimuths, model);
    for (std::size_t k = 0; k < bands.size(); ++k) sum.add(k, bands[k]);
    return sum.result();
}

Bracket BracketOf(const std::vector<double>& azimuths, double azimuth) {
    const std::vector<std::size_t> order = Order(azimuths);
    const std::size_t n = order.size();
    const double wanted = Wrap(azimuth);
    // The last direction at or before the azimuth, going round.
    std::size_t before = n - 1;
    for (std::size_t i = 0; i < n; ++i)
        if (Wrap(azimuths[order[i]]) <= wanted) before = i;
    Bracket bracket{order[before], order[(before + 1) % n], 0};
    const double gap = Wrap(azimuths[bracket.b] - azimuths[bracket.a]);
    bracket.t = gap == 0 ? 0 : Wrap(wanted - azimuths[bracket.a]) / gap;
    return bracket;
}

double HorizonTowards(const std::vector<std::vector<float>>& bands, const Bracket& bracket, std::size_t texel) {
    const float ha = bands[bracket.a][texel], hb = bands[bracket.b][texel];
    if (ha == kNoData && hb == kNoData) return -90;
    if (ha == kNoData) return hb;
    if (hb == kNoData || bracket.t == 0) return ha;
    return ha + (hb - static_cast<double>(ha)) * bracket.t;
}

encode::GreyImage Hillshade(const Grid& grid, double cellX, double cellY, const std::vector<std::vector<float>>& bands,
                            const std::vector<double>& azimuths, double sunAzimuth, double sunElevation, int bitDepth) {
    encode::GreyImage image{grid.width, grid.height, bitDepth, {}};
    const double brightest = bitDepth == 16 ? 65535 : 255;
    image.samples.assign(std::size_t{grid.width} * grid.height, 0);
    const solar::SunVector sun = solar::SunVectorOf(sunAzimuth, sunElevation);
    const Bracket bracket = BracketOf(azimuths, sunAzimuth);
    for (std::int64_t y = 0; y < grid.height; ++y) {
        for (std::int64_t x = 0; x < grid.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * grid.width + x;
            if (std::isnan(grid.z[i]) || HorizonTowards(bands, bracket, i) > sunElevation) continue;
            const SurfaceGradient g = GradientAt(grid, cellX, cellY, x, y);
            const double lit = solar::LambertLevel(g.east, g.north, sun);
            image.samples[i] = static_cast<std::uint16_t>(std::lround(brightest * std::clamp(lit, 0.0, 1.0)));
        }
    }
    return image;
}

}  // namespace skyline
