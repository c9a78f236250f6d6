#pragma once
// A grey picture of 8 or 16-bit samples, as the PNG encoder takes it.
#include <cstdint>
#include <vector>

namespace encode {

struct GreyImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 8;                    // 8 or 16
    std::vector<std::uint16_t> samples;  // packed rows
};

}  // namespace encode
