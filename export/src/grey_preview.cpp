#include "export/grey_preview.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <numbers>
#include <utility>

#include "horizon/horizon_kernel.h"
#include "horizon/tree_rules.h"
#include "os/huge_pages.h"

#include "row_halves.h"

namespace exporter {

std::uint16_t SampleOf(double level, double top) {
    const double x = std::clamp(level, 0.0, 1.0) * top;
    if (!(x >= 0.0)) return 0;  // as lround's NaN, cast
    // lround without the library call: x - t is exact.
    const auto t = static_cast<std::uint32_t>(x);
    return static_cast<std::uint16_t>(t + (x - t >= 0.5 ? 1 : 0));
}

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

void HorizonRowSamples(const HorizonMap& map, const HorizonSamples& samples, std::uint32_t row,
                       std::uint16_t* forward, std::uint16_t* backward) {
    const auto top = static_cast<std::uint16_t>(samples.bitDepth() == 16 ? 65535 : 255);
    // PreviewLevel by kind, as StoredKind tells them; each texel read once for both.
    const auto sample = [&](float v, bool edge) -> std::uint16_t {
        if (edge || v == horizon::kOpenHorizonValue) return top;
        return v > 0.0f && v <= 1.0f ? samples(v) : 0;
    };
    const float* texel = map.texels.data() + std::size_t{row} * map.width * 4;
    const bool lastRow = row + 1 == map.height, firstRow = row == 0;
    for (std::uint32_t c = 0; c < map.width; ++c, texel += 4) {
        if (texel[0] == horizon::kTreeShadeValue && texel[1] == horizon::kTreeShadeValue) {
            forward[c] = backward[c] = 0;
            continue;
        }
        forward[c] = sample(texel[0], lastRow);
        backward[c] = sample(texel[1], firstRow);
    }
}

void HorizonPictures(const HorizonMap& map, const HorizonSamples& samples, std::uint32_t shrink, encode::GreyImage* forward,
                     encode::GreyImage* backward) {
    if (shrink > 1) {
        const double range = samples.rangeDegrees();
        os::RunSideBySide(
            [&] { *forward = Quantise(HorizonLevels(map, Direction::Forward, range), shrink, samples.bitDepth()); },
            [&] { *backward = Quantise(HorizonLevels(map, Direction::Backward, range), shrink, samples.bitDepth()); });
        return;
    }
    encode::GreyImage* pictures[2] = {forward, backward};
    for (encode::GreyImage* picture : pictures) {
        *picture = {map.width, map.height, samples.bitDepth(), {}};
        os::ReserveOnHugePages(&picture->samples, std::size_t{map.width} * map.height);
        picture->samples.resize(std::size_t{map.width} * map.height);
    }
    ForRowHalves(map.height, [&](std::uint32_t first, std::uint32_t end) {
        for (std::uint32_t r = first; r < end; ++r)
            HorizonRowSamples(map, samples, r, forward->samples.data() + std::size_t{r} * map.width,
                              backward->samples.data() + std::size_t{r} * map.width);
    });
}

namespace {

// The lowest and highest finite heights; both cores.
std::pair<float, float> HeightRange(const float* texels, std::uint32_t width, std::uint32_t height) {
    float low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    ForRowHalves(height, [&](std::uint32_t r0, std::uint32_t r1) {
        const int half = r1 == height ? 1 : 0;  // the top half may be empty and start at 0 too
        float lo = INFINITY, hi = -INFINITY;
        for (std::size_t i = std::size_t{r0} * width; i < std::size_t{r1} * width; ++i) {
            const float h = texels[i];
            const bool finite = std::isfinite(h);
            lo = finite && h < lo ? h : lo;
            hi = finite && h > hi ? h : hi;
        }
        low[half] = lo;
        high[half] = hi;
    });
    return {std::min(low[0], low[1]), std::max(high[0], high[1])};
}

// A height's level when the heights span more than nothing.
float HeightLevel(float h, float lowest, double span) {
    return std::isfinite(h) ? static_cast<float>((static_cast<double>(h) - lowest) / span) : 0.0f;
}

// Floats as unsigned keys in the same order, negative ones included.
std::uint32_t Key(float f) {
    const auto b = std::bit_cast<std::uint32_t>(f);
    return (b & 0x80000000u) != 0 ? ~b : b | 0x80000000u;
}
float FromKey(std::uint32_t k) { return std::bit_cast<float>((k & 0x80000000u) != 0 ? k & 0x7FFFFFFFu : ~k); }

// The least height reaching each sample k in 1..top ([0] unused, [top + 1] above
// all): a finite height's sample never falls as the height grows, so it is the
// number of thresholds at or below it. Found by bisection on the formula itself,
// from a guess; lowest < highest, both finite.
std::vector<float> HeightThresholds(float lowest, float highest, double top) {
    const double span = static_cast<double>(highest) - lowest;
    const auto reaches = [&](std::uint32_t key, std::uint32_t k) {
        return SampleOf(HeightLevel(FromKey(key), lowest, span), top) >= k;
    };
    const auto last = static_cast<std::uint32_t>(top);
    std::vector<float> thresholds(last + 2, INFINITY);
    std::uint32_t below = Key(lowest);  // its sample is 0
    for (std::uint32_t k = 1; k <= last; ++k) {
        // Invariant: `a` falls short of k, `c` reaches it (the highest reaches all).
        std::uint32_t a = below, c = Key(highest);
        const std::uint32_t guess = Key(static_cast<float>(lowest + (k - 0.5) / top * span));
        const std::uint32_t g = std::clamp(guess, a + 1, c);
        const bool up = !reaches(g, k);
        (up ? a : c) = g;
        for (std::uint32_t step = 1; c - a > 1; step *= 2) {
            const std::uint32_t t = up ? a + std::min(step, c - a - 1) : c - std::min(step, c - a - 1);
            if (reaches(t, k) != up) {
                (up ? a : c) = t;
                continue;
            }
            (up ? c : a) = t;
            break;
        }
        while (c - a > 1) {
            const std::uint32_t m = a + (c - a) / 2;
            (reaches(m, k) ? c : a) = m;
        }
        thresholds[k] = FromKey(c);
        below = c - 1;
    }
    return thresholds;
}
}  // namespace

GreyLevels HeightLevels(const float* texels, std::uint32_t width, std::uint32_t height) {
    const std::size_t count = std::size_t{width} * height;
    const auto [lowest, highest] = HeightRange(texels, width, height);
    GreyLevels grey{width, height, {}};
    os::ReserveOnHugePages(&grey.levels, count);
    grey.levels.resize(count, 0.5f);
    if (!(highest > lowest)) return grey;
    const double span = static_cast<double>(highest) - lowest;
    ForRowHalves(height, [&](std::uint32_t r0, std::uint32_t r1) {
        for (std::size_t i = std::size_t{r0} * width; i < std::size_t{r1} * width; ++i)
            grey.levels[i] = HeightLevel(texels[i], lowest, span);
    });
    return grey;
}

encode::GreyImage HeightPicture(const float* texels, std::uint32_t width, std::uint32_t height, std::uint32_t shrink,
                        int bitDepth) {
    if (shrink > 1) return Quantise(HeightLevels(texels, width, height), shrink, bitDepth);
    const std::size_t count = std::size_t{width} * height;
    const double top = bitDepth == 16 ? 65535.0 : 255.0;
    const auto [lowest, highest] = HeightRange(texels, width, height);
    encode::GreyImage image{width, height, bitDepth, {}};
    os::ReserveOnHugePages(&image.samples, count);
    image.samples.resize(count, SampleOf(0.5f, top));
    if (!(highest > lowest)) return image;
    // From an estimate, moved to the thresholds it lies between.
    const std::vector<float> thresholds = HeightThresholds(lowest, highest, top);
    const auto last = static_cast<std::uint32_t>(top);
    const float scale = static_cast<float>(top / (static_cast<double>(highest) - lowest));
    ForRowHalves(height, [&](std::uint32_t r0, std::uint32_t r1) {
        for (std::size_t i = std::size_t{r0} * width; i < std::size_t{r1} * width; ++i) {
            const float h = texels[i];
            if (!std::isfinite(h)) {
                image.samples[i] = 0;
                continue;
            }
            const float estimate = std::clamp((h - lowest) * scale + 0.5f, 0.0f, static_cast<float>(top));
            auto k = static_cast<std::uint32_t>(estimate);
            while (k < last && h >= thresholds[k + 1]) ++k;
            while (k > 0 && h < thresholds[k]) --k;
            image.samples[i] = static_cast<std::uint16_t>(k);
        }
    });
    return image;
}

encode::GreyImage Quantise(const GreyLevels& grey, std::uint32_t shrink, int bitDepth) {
    assert(bitDepth == 8 || bitDepth == 16);
    shrink = std::max<std::uint32_t>(shrink, 1);
    encode::GreyImage image;
    image.width = (grey.width + shrink - 1) / shrink;
    image.height = (grey.height + shrink - 1) / shrink;
    image.bitDepth = bitDepth;
    const double top = bitDepth == 16 ? 65535.0 : 255.0;
    if (shrink == 1) {
        os::ReserveOnHugePages(&image.samples, grey.levels.size());
        image.samples.resize(grey.levels.size());
        ForRowHalves(grey.height, [&](std::uint32_t r0, std::uint32_t r1) {
            for (std::size_t i = std::size_t{r0} * grey.width; i < std::size_t{r1} * grey.width; ++i)
                image.samples[i] = SampleOf(grey.levels[i], top);
        });
        return image;
    }
    image.samples.reserve(std::size_t{image.width} * image.height);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint32_t r0 = y * shrink, r1 = std::min(grey.height, r0 + shrink);
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::uint32_t c0 = x * shrink, c1 = std::min(grey.width, c0 + shrink);
            double sum = 0;
            for (std::uint32_t r = r0; r < r1; ++r)
                for (std::uint32_t c = c0; c < c1; ++c) sum += grey.levels[std::size_t{r} * grey.width + c];
            const double mean = sum / (static_cast<double>(r1 - r0) * (c1 - c0));
            image.samples.push_back(SampleOf(mean, top));
        }
    }
    return image;
}

encode::GreyImage SideBySide(const encode::GreyImage& left, const encode::GreyImage& right) {
    encode::GreyImage both{left.width + right.width, left.height, left.bitDepth, {}};
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
