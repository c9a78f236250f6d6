#pragma once
// OpenEXR through the OpenEXR core library, first part of the file, level 0:
// scanline or tiled; uncompressed, RLE, ZIP, PIZ, PXR24, B44 and B44A (the core
// library of OpenEXR 3.1 cannot decode DWAA and DWAB); half, float and uint channels. R (or else Y, or else the first
// channel) is the grey value, A when present its alpha. Half and float samples are taken as they are, uint samples k as
// k / (2^32 - 1).
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

[[nodiscard]] status::Status OpenExrSource(ImageFile& file, std::unique_ptr<RowSource>* source);

}  // namespace image
