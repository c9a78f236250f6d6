#pragma once
// TIFF through libtiff, first image of the file: 8- and 16-bit unsigned integer and
// 32-bit float samples; grey (min-is-black or min-is-white), grey with alpha, RGB and
// RGBA; strips or tiles, interleaved channels, any compression libtiff decodes.
#include <memory>

#include "platform/image/row_source.h"

class ImageFile;

HRESULT OpenTiffSource(ImageFile& file, std::unique_ptr<RowSource>* source);
