#pragma once
// A whole image file at its own size, as float RGBA texels.
#include <cstdint>
#include <vector>

#include "image/row_source.h"
#include "status/status.h"

namespace image {

struct DecodedImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<float> texels;  // width * height * 4, packed rows, row 0 = top row
};

// Decodes the file at `path` with the same formats, conversion and results as
// LoadImageScaled, without resampling. OutOfMemory also when the texels themselves
// would not fit; InvalidArgument for a null `path` or `image`. `image` is left empty on
// failure. Nothing escapes: exhausted memory is OutOfMemory.
[[nodiscard]] status::Status DecodeImageFile(const char* path, DecodedImage* image);

// The size and samples of the image DecodeImageFile would decode from `path`, from
// the file's header: no row is decoded (but for BMP and TGA, which are decoded
// whole to be opened). Ok; DecodeImageFile's results for a file it refuses; InvalidArgument
// for a null `path` or `info`. Nothing escapes.
[[nodiscard]] status::Status ReadImageInfo(const char* path, ImageInfo* info);

}  // namespace image
