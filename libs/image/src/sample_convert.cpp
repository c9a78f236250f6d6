#include "sample_convert.h"

#include <cstring>

namespace image {

SampleConverter::SampleConverter(const ImageInfo& info) : type_(info.type), channels_(info.channels()) {
    if (type_ == SampleType::F32) return;
    // Every possible sample gets an entry, so out-of-range samples (PNM values above
    // maxval) index the table safely.
    table_.resize(type_ == SampleType::U8 ? 256 : 65536);
    const auto max = static_cast<float>(info.maxValue);
    for (std::size_t k = 0; k < table_.size(); ++k) table_[k] = static_cast<float>(k) / max;
}

void SampleConverter::toFloats(const std::uint8_t* native, std::size_t count, float* values) const {
    const std::size_t n = count * channels_;
    switch (type_) {
        case SampleType::U8:
            for (std::size_t i = 0; i < n; ++i) values[i] = table_[native[i]];
            break;
        case SampleType::U16:
            for (std::size_t i = 0; i < n; ++i) {
                std::uint16_t k = 0;
                std::memcpy(&k, native + 2 * i, 2);
                values[i] = table_[k];
            }
            break;
        case SampleType::F32: std::memcpy(values, native, n * sizeof(float)); break;
    }
}

namespace {

template <typename T>
void Expand(ChannelLayout layout, const T* v, std::size_t count, float* rgba) {
    switch (layout) {
        case ChannelLayout::Grey:
            for (std::size_t i = 0; i < count; ++i, rgba += 4) {
                const auto g = static_cast<float>(v[i]);
                rgba[0] = g;
                rgba[1] = g;
                rgba[2] = g;
                rgba[3] = 1.0f;
            }
            break;
        case ChannelLayout::GreyAlpha:
            for (std::size_t i = 0; i < count; ++i, rgba += 4) {
                const auto g = static_cast<float>(v[2 * i]);
                rgba[0] = g;
                rgba[1] = g;
                rgba[2] = g;
                rgba[3] = static_cast<float>(v[2 * i + 1]);
            }
            break;
        case ChannelLayout::Rgb:
            for (std::size_t i = 0; i < count; ++i, rgba += 4) {
                rgba[0] = static_cast<float>(v[3 * i]);
                rgba[1] = static_cast<float>(v[3 * i + 1]);
                rgba[2] = static_cast<float>(v[3 * i + 2]);
                rgba[3] = 1.0f;
            }
            break;
        case ChannelLayout::Rgba:
            for (std::size_t i = 0; i < 4 * count; ++i) rgba[i] = static_cast<float>(v[i]);
            break;
        case ChannelLayout::Red:
            for (std::size_t i = 0; i < count; ++i, rgba += 4) {
                rgba[0] = static_cast<float>(v[i]);
                rgba[1] = 1.0f;
                rgba[2] = 1.0f;
                rgba[3] = 1.0f;
            }
            break;
    }
}

}  // namespace

void ExpandToRgba(ChannelLayout layout, const float* values, std::size_t count, float* rgba) {
    Expand(layout, values, count, rgba);
}

void ExpandToRgba(ChannelLayout layout, const double* values, std::size_t count, float* rgba) {
    Expand(layout, values, count, rgba);
}

}  // namespace image
