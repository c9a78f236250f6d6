#pragma once
// JPEG through libjpeg-turbo: greyscale, and YCbCr or RGB delivered as RGB, decoded
// row by row. CMYK is refused.
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

[[nodiscard]] status::Status OpenJpegSource(ImageFile& file, std::unique_ptr<RowSource>* source);

}  // namespace image
