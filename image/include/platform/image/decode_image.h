#pragma once
// A whole image file at its own size, as float RGBA texels.
#include <cstdint>
#include <vector>

#include "results/result_code.h"

namespace image {

struct DecodedImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<float> texels;  // width * height * 4, packed rows, row 0 = top row
};

// Decodes the file at `path` with the same formats, conversion and results as
// LoadImageScaled, without resampling. E_OUTOFMEMORY also when the texels themselves
// would not fit; E_INVALIDARG for a null `path` or `image`. `image` is left empty on
// failure. Nothing escapes: exhausted memory is E_OUTOFMEMORY.
[[nodiscard]] HRESULT DecodeImageFile(const char* path, DecodedImage* image);

}  // namespace image
