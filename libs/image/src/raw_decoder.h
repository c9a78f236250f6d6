#pragma once
// Headerless height maps as terrain tools exchange them: n x n samples, rows top
// first, with n following from the file's size. Only the file name tells them:
// .raw and .r16 hold little-endian unsigned 16-bit samples, .r32 little-endian
// 32-bit floats, .r8 bytes.
#include <cstdint>
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

enum class RawSample : std::uint8_t { None, U8, U16, F32 };

// The sample of a RAW file with this name (the extension's case aside), or None.
RawSample RawSampleFromName(const char* path);

// InvalidData unless the whole file is a square of `sample`s.
[[nodiscard]] status::Status OpenRawSource(ImageFile& file, RawSample sample, std::unique_ptr<RowSource>* source);

}  // namespace image
