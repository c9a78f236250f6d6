#pragma once
// DDS, level 0 of uncompressed 2D textures: A32B32G32R32F, R32F, A16B16G16R16,
// A16B16G16R16F, R16F, L16, L8, A8R8G8B8, X8R8G8B8, A8B8G8R8 (and X8B8G8R8), with the
// legacy header or the DX10 extension header. Cube maps, volumes and block
// compression are refused.
#include <memory>

#include "image/row_source.h"

namespace image {

class ImageFile;

// Reads the header of `file`, which must be open and at its start, and on Ok puts
// in `source` (not null) a source of level 0's rows that reads `file` (which must
// outlive it). InvalidData for any other DDS, or one too short for level 0;
// `source` is unchanged then. Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] status::Status OpenDdsSource(ImageFile& file, std::unique_ptr<RowSource>* source);

}  // namespace image
