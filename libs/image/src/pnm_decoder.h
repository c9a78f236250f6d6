#pragma once
// Binary PGM (P5) and PPM (P6), 8 and 16 bits, any maxval up to 65535.
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

[[nodiscard]] status::Status OpenPnmSource(ImageFile& file, std::unique_ptr<RowSource>* source);

}  // namespace image
