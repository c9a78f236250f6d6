#pragma once
// TIFF through libtiff, first image of the file: 8-, 16- and 32-bit unsigned and
// signed integer and 16-, 32- and 64-bit float samples; grey (min-is-black, or
// min-is-white for unsigned samples), grey with alpha, RGB and RGBA; strips or tiles,
// interleaved channels, any compression libtiff decodes. Samples other than 8- and
// 16-bit unsigned and 32-bit float reach the rows as floats.
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

[[nodiscard]] status::Status OpenTiffSource(ImageFile& file, std::unique_ptr<RowSource>* source);

}  // namespace image
