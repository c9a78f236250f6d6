#pragma once
// A decoder as the loader sees it: the image's shape and sample type, then its rows
// from top to bottom in their native type, a few at a time.
#include <cstddef>
#include <cstdint>

#include "status/status.h"

namespace image {

enum class SampleType : std::uint8_t { U8, U16, F32 };

// How the stored channels become red, green, blue and alpha.
enum class ChannelLayout : std::uint8_t {
    Grey,       // v -> (v, v, v, 1)
    GreyAlpha,  // v, a -> (v, v, v, a)
    Rgb,        // r, g, b -> (r, g, b, 1)
    Rgba,       // as stored
    Red,        // r -> (r, 1, 1, 1), the fill of the one-channel float texture formats
};

// Stored channels per texel of a layout.
constexpr unsigned ChannelCount(ChannelLayout layout) {
    switch (layout) {
        case ChannelLayout::Grey:
        case ChannelLayout::Red: return 1;
        case ChannelLayout::GreyAlpha: return 2;
        case ChannelLayout::Rgb: return 3;
        case ChannelLayout::Rgba: return 4;
    }
    return 0;
}

// Bytes of one stored sample.
constexpr unsigned SampleBytes(SampleType type) {
    return type == SampleType::U8 ? 1u : type == SampleType::U16 ? 2u : 4u;
}

// The image a source delivers: never 0 x 0 once a decoder has opened it.
struct ImageInfo {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ChannelLayout layout = ChannelLayout::Grey;
    SampleType type = SampleType::U8;
    // Integer samples k stand for k / maxValue (255 or 65535 except in PNM files).
    std::uint32_t maxValue = 255;

    unsigned channels() const { return ChannelCount(layout); }
    // Bytes of one packed row; the decoders check that it fits in memory.
    std::size_t rowBytes() const { return std::size_t{width} * channels() * SampleBytes(type); }
};

class RowSource {
public:
    virtual ~RowSource() = default;

    // The image's shape and samples, fixed when the source is opened.
    const ImageInfo& info() const { return info_; }

    // Decodes the next `count` rows into `destination` (room for `count` packed rows,
    // rowBytes() apart); `count` must not take the total past the image's height.
    // Ok, or InvalidData / OutOfMemory; after a failure nothing more is
    // read. Exhausted memory may also escape as std::bad_alloc.
    [[nodiscard]] virtual status::Status readRows(std::uint8_t* destination, std::uint32_t count) = 0;

protected:
    ImageInfo info_;
};

}  // namespace image
