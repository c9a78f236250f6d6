#pragma once
// Grey pictures of a horizon map and of a height map, for looking at.
//
// Horizon texels (dark = high horizon): grey = 1 - min(acos(v) in degrees, range) / range,
// acos(v) being the angle whose cosine the run stored. Open texels (0.999) and the
// rows with no terrain ahead are white, trees (0.001 in both channels) black, values
// outside (0, 1] black.
#include <cstdint>
#include <vector>

#include "encode/grey_image.h"
#include "export/horizon_map_file.h"
#include "export/horizon_samples.h"
#include "export/texel_kind.h"

namespace exporter {

// Levels in [0, 1], packed rows.
struct GreyLevels {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<float> levels;
};

constexpr double kDefaultRangeDegrees = 45.0;

// The level of one texel; `v` its stored value, `rangeDegrees` > 0. Any values.
double PreviewLevel(TexelKind kind, float v, double rangeDegrees);

// The levels of one direction of a whole map. Exhausted memory escapes as
// std::bad_alloc, here and below.
GreyLevels HorizonLevels(const HorizonMap& map, Direction direction, double rangeDegrees);

// Row `row` (< map.height) of HorizonPictures' two pictures at shrink 1, `map.width`
// samples each into `forward` and `backward`. Any values.
void HorizonRowSamples(const HorizonMap& map, const HorizonSamples& samples, std::uint32_t row, std::uint16_t* forward,
                       std::uint16_t* backward);

// Quantise(HorizonLevels(map, direction, range), shrink, bitDepth) of both
// directions, for the range and bit depth of `samples`; on both cores, sample by
// sample without levels when `shrink` is 0 or 1.
void HorizonPictures(const HorizonMap& map, const HorizonSamples& samples, std::uint32_t shrink, encode::GreyImage* forward,
                     encode::GreyImage* backward);

// Heights, one float a texel, from the lowest (black) to the highest (white); all
// mid grey when they are all equal. Non-finite values are black. `texels` holds
// width x height of them.
GreyLevels HeightLevels(const float* texels, std::uint32_t width, std::uint32_t height);

// Quantise(HeightLevels(texels, width, height), shrink, bitDepth), without the
// levels when `shrink` is 0 or 1.
encode::GreyImage HeightPicture(const float* texels, std::uint32_t width, std::uint32_t height, std::uint32_t shrink,
                        int bitDepth);

// round(clamp(level, 0, 1) * top), halves away from 0; 0 for NaN: how Quantise
// turns a mean level into a sample.
std::uint16_t SampleOf(double level, double top);

// Each output pixel the mean of a `shrink` x `shrink` block (fewer at the right and
// bottom edges), then rounded to the bit depth (8 or 16); a `shrink` of 0 is 1.
// HeightLevels and this work on both cores.
encode::GreyImage Quantise(const GreyLevels& levels, std::uint32_t shrink, int bitDepth);

// `left` and `right` (of equal height) next to each other.
encode::GreyImage SideBySide(const encode::GreyImage& left, const encode::GreyImage& right);

}  // namespace exporter
