#include "export/grey_preview.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

namespace exporter {

double PreviewLevel(TexelKind kind, float v, double rangeDegrees) {
    switch (kind) {
        case TexelKind::Open:
        case TexelKind::Edge: return 1.0;
        case TexelKind::Tree:
        case TexelKind::Unfit: return 0.0;
        case TexelKind::Horizon:
        case TexelKind::Faint:
        case TexelKind::Ambiguous: break;
    }
    const double degrees = std::acos(std::clamp(static_cast<double>(v), 0.0, 1.0)) * (180.0 / std::numbers::pi);
    return 1.0 - std::min(degrees, rangeDegrees) / rangeDegrees;
}

GreyLevels HorizonLevels(const HorizonMap& map, Direction direction, double rangeDegrees) {
    GreyLevels grey{map.width, map.height, {}};
    grey.levels.reserve(std::size_t{map.width} * map.height);
    for (std::uint32_t r = 0; r < map.height; ++r)
        for (std::uint32_t c = 0; c < map.width; ++c)
            grey.levels.push_back(static_cast<float>(
                PreviewLevel(StoredKind(map, direction, r, c), StoredValue(map, direction, r, c), rangeDegrees)));
    return grey;
}

GreyLevels HeightLevels(const float* texels, std::uint32_t width, std::uint32_t height) {
    const std::size_t count = std::size_t{width} * height;
    float low = INFINITY, high = -INFINITY;
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(texels[i * 4])) continue;
        low = std::min(low, texels[i * 4]);
        high = std::max(high, texels[i * 4]);
    }
    GreyLevels grey{width, height, std::vector<float>(count, 0.5f)};
    if (!(high > low)) return grey;
    const double span = static_cast<double>(high) - low;
    for (std::size_t i = 0; i < count; ++i) {
        const float h = texels[i * 4];
        grey.levels[i] = std::isfinite(h) ? static_cast<float>((static_cast<double>(h) - low) / span) : 0.0f;
    }
    return grey;
}

GreyImage Quantise(const GreyLevels& grey, std::uint32_t shrink, int bitDepth) {
    assert(bitDepth == 8 || bitDepth == 16);
    shrink = std::max<std::uint32_t>(shrink, 1);
    GreyImage image;
    image.width = (grey.width + shrink - 1) / shrink;
    image.height = (grey.height + shrink - 1) / shrink;
    image.bitDepth = bitDepth;
    image.samples.reserve(std::size_t{image.width} * image.height);
    const double top = bitDepth == 16 ? 65535.0 : 255.0;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint32_t r0 = y * shrink, r1 = std::min(grey.height, r0 + shrink);
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::uint32_t c0 = x * shrink, c1 = std::min(grey.width, c0 + shrink);
            double sum = 0;
            for (std::uint32_t r = r0; r < r1; ++r)
                for (std::uint32_t c = c0; c < c1; ++c) sum += grey.levels[std::size_t{r} * grey.width + c];
            const double mean = sum / (static_cast<double>(r1 - r0) * (c1 - c0));
            image.samples.push_back(static_cast<std::uint16_t>(std::lround(std::clamp(mean, 0.0, 1.0) * top)));
        }
    }
    return image;
}

GreyImage SideBySide(const GreyImage& left, const GreyImage& right) {
    GreyImage both{left.width + right.width, left.height, left.bitDepth, {}};
    both.samples.reserve(std::size_t{both.width} * both.height);
    for (std::uint32_t r = 0; r < both.height; ++r) {
        const auto* l = left.samples.data() + std::size_t{r} * left.width;
        const auto* g = right.samples.data() + std::size_t{r} * right.width;
        both.samples.insert(both.samples.end(), l, l + left.width);
        both.samples.insert(both.samples.end(), g, g + right.width);
    }
    return both;
}

}  // namespace exporter
