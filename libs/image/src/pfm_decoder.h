#pragma once
// PFM: grey ("Pf") and RGB ("PF") 32-bit floats, rows stored bottom-up, byte order
// given by the sign of the scale field (negative: little-endian).
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

[[nodiscard]] status::Status OpenPfmSource(ImageFile& file, std::unique_ptr<RowSource>* source);

}  // namespace image
