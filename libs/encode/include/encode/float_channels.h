#pragma once
// Named planes of 32-bit floats, the content of the float TIFF and EXR files.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace encode {

// A plane lying in memory of another's: sample c of row r at data[(r * width + c) * step],
// or, with `codes`, the float of the small whole number codes[r * width + c].
struct PlaneView {
    const float* data = nullptr;
    std::size_t step = 1;
    const std::uint8_t* codes = nullptr;

    // The bits of sample i (r * width + c) as the file stores them.
    std::uint32_t bits(std::size_t i) const {
        if (codes != nullptr) return std::bit_cast<std::uint32_t>(static_cast<float>(codes[i]));
        std::uint32_t b = 0;
        std::memcpy(&b, data + i * step, 4);
        return b;
    }

    // Row `row`'s `width` samples to `out` (room for width * 4 bytes), as stored.
    void copyRow(std::uint32_t row, std::uint32_t width, std::uint8_t* out) const {
        const std::size_t first = std::size_t{row} * width;
        if (codes == nullptr && step == 1) {
            std::memcpy(out, data + first, std::size_t{width} * 4);
            return;
        }
        for (std::uint32_t c = 0; c < width; ++c) {
            const std::uint32_t b = bits(first + c);
            std::memcpy(out + std::size_t{c} * 4, &b, 4);
        }
    }
};

struct FloatChannels {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::string> names;          // one per plane
    std::vector<std::vector<float>> planes;  // width * height each, packed rows, row 0 on top
    // In place of `planes` when not empty, one per name: samples read where they lie.
    std::vector<PlaneView> views = {};

    std::size_t planeCount() const { return views.empty() ? planes.size() : views.size(); }
    PlaneView plane(std::size_t k) const { return views.empty() ? PlaneView{planes[k].data(), 1} : views[k]; }
    // Whether there are planes, one per name, each of width * height samples.
    bool planesFit() const {
        if (planeCount() == 0 || names.size() != planeCount()) return false;
        for (std::size_t k = 0; k < planes.size(); ++k)
            if (planes[k].size() != std::size_t{width} * height) return false;
        for (const PlaneView& view : views)
            if ((view.data == nullptr || view.step == 0) && view.codes == nullptr) return false;
        return true;
    }

    // Whether the planes are exactly R, G and B, in this order.
    bool isRgb() const { return names == std::vector<std::string>{"R", "G", "B"}; }
};

}  // namespace encode
