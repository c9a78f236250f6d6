#pragma once
// Named planes of 32-bit floats, the content of the float TIFF and EXR files.
#include <cstdint>
#include <string>
#include <vector>

namespace exporter {

struct FloatChannels {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::string> names;          // one per plane
    std::vector<std::vector<float>> planes;  // width * height each, packed rows, row 0 on top

    // Whether the planes are exactly R, G and B, in this order.
    bool isRgb() const { return names == std::vector<std::string>{"R", "G", "B"}; }
};

}  // namespace exporter
