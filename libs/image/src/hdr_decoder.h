#pragma once
// Radiance HDR (RGBE): the "-Y height +X width" layout, flat or run-length encoded
// scanlines, decoded row by row to 32-bit float RGB.
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

[[nodiscard]] status::Status OpenHdrSource(ImageFile& file, std::unique_ptr<RowSource>* source);

}  // namespace image
