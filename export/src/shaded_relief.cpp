#include "export/shaded_relief.h"

#include <cmath>
#include <numbers>

#include "os/huge_pages.h"
#include "solar/lambert.h"

namespace exporter {

namespace {

// Calls lit(i, level) for each texel i not in shadow with a level above 0, and
// dark(i) for a few of them found in shadow afterwards.
template <typename Lit, typename Dark>
void Shade(const HorizonMap& map, const float* heights, const LoadedRows* rows, const horizon::HorizonSettings& terrain,
           Direction sun, double elevationDegrees, const Lit& lit, const Dark& dark) {
    const std::uint32_t w = map.width, h = map.height;
    const double cell = static_cast<double>(terrain.terraSize) / w;
    const double e = elevationDegrees * std::numbers::pi / 180.0;
    // Towards the sun: +rows forward, -rows backward.
    const solar::SunVector light{0.0, (sun == Direction::Forward ? 1.0 : -1.0) * std::cos(e), std::sin(e)};
    const auto z = [&](std::uint32_t r, std::uint32_t c) {
        return static_cast<double>(horizon::Elevation(terrain, heights[std::size_t{r} * w + c]));
    };
    CastShadows(
        map, heights, terrain, sun, elevationDegrees, rows,
        [&](std::uint32_t r, const std::uint8_t* shadows) {
            for (std::uint32_t c = 0; c < w; ++c) {
                if (shadows[c] != 0) continue;
                const std::uint32_t c0 = c > 0 ? c - 1 : c, c1 = c + 1 < w ? c + 1 : c;
                const std::uint32_t r0 = r > 0 ? r - 1 : r, r1 = r + 1 < h ? r + 1 : r;
                const double dzdx = c1 > c0 ? (z(r, c1) - z(r, c0)) / ((c1 - c0) * cell) : 0.0;
                const double dzdy = r1 > r0 ? (z(r1, c) - z(r0, c)) / ((r1 - r0) * cell) : 0.0;
                const double level = solar::LambertLevel(dzdx, dzdy, light);
                if (std::isfinite(level) && level > 0) lit(std::size_t{r} * w + c, static_cast<float>(level));
            }
        },
        dark);
}

}  // namespace

GreyLevels ShadedRelief(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                        Direction sun, double elevationDegrees, const LoadedRows* rows) {
    GreyLevels out{map.width, map.height, {}};
    os::ReserveOnHugePages(&out.levels, std::size_t{map.width} * map.height);
    out.levels.resize(std::size_t{map.width} * map.height, 0.0f);
    Shade(
        map, heights, rows, terrain, sun, elevationDegrees, [&](std::size_t i, float level) { out.levels[i] = level; },
        [&](std::size_t i) { out.levels[i] = 0; });
    return out;
}

encode::GreyImage ShadePicture(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                       Direction sun, double elevationDegrees, std::uint32_t shrink, int bitDepth,
                       const LoadedRows* rows) {
    if (shrink > 1) return Quantise(ShadedRelief(map, heights, terrain, sun, elevationDegrees, rows), shrink, bitDepth);
    const double top = bitDepth == 16 ? 65535.0 : 255.0;
    encode::GreyImage image{map.width, map.height, bitDepth, {}};
    os::ReserveOnHugePages(&image.samples, std::size_t{map.width} * map.height);
    image.samples.resize(std::size_t{map.width} * map.height, 0);
    Shade(
        map, heights, rows, terrain, sun, elevationDegrees,
        [&](std::size_t i, float level) { image.samples[i] = SampleOf(level, top); },
        [&](std::size_t i) { image.samples[i] = 0; });
    return image;
}

}  // namespace exporter
