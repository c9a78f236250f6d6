#pragma once
// BMP and TGA through stb_image, read through the file's buffer. Radiance HDR has a
// reader of its own (stb_image's could loop for ever on a cut-short run-length
// scanline); it is passed on to that one.
#include <memory>

#include "format_detect.h"
#include "image/row_source.h"

namespace image {

class ImageFile;

// `format` is Bmp, Tga or Hdr, as detected.
[[nodiscard]] status::Status OpenStbSource(ImageFile& file, ImageFormat format, std::unique_ptr<RowSource>* source);

}  // namespace image
