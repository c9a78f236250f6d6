#pragma once
// PNG through libpng: 1 to 16 bits, grey, grey with alpha, RGB, RGBA and palette,
// transparency chunks as alpha. Non-interlaced images are decoded row by row.
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

[[nodiscard]] status::Status OpenPngSource(ImageFile& file, std::unique_ptr<RowSource>* source);

}  // namespace image
