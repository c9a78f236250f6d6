#pragma once
// Native samples to float values, and float values to RGBA texels.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/row_source.h"

namespace image {

// Integer sample k becomes k / maxValue, correctly rounded to float (for 8 bits
// exactly the float nearest k / 255). Float samples are copied bit for bit.
class SampleConverter {
public:
    explicit SampleConverter(const ImageInfo& info);

    // `count` texels of a native row to channels() floats each.
    void toFloats(const std::uint8_t* native, std::size_t count, float* values) const;

private:
    SampleType type_;
    unsigned channels_;
    std::vector<float> table_;  // value of every integer sample
};

// `count` texels of `layout` values to red, green, blue and alpha.
void ExpandToRgba(ChannelLayout layout, const float* values, std::size_t count, float* rgba);
void ExpandToRgba(ChannelLayout layout, const double* values, std::size_t count, float* rgba);

}  // namespace image
