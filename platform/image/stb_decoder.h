#pragma once
// BMP, TGA and Radiance HDR through stb_image, read through the file's buffer.
#include <memory>

#include "platform/image/format_detect.h"
#include "platform/image/row_source.h"

class ImageFile;

// `format` is Bmp, Tga or Hdr, as detected.
HRESULT OpenStbSource(ImageFile& file, ImageFormat format, std::unique_ptr<RowSource>* source);
