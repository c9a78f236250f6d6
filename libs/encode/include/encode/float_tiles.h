#pragma once
// One band of float samples as the tiles of a TIFF with separate planes, packed as
// the float strips are (ZSTD after the floating-point predictor) on two threads.
#include <tiffio.h>

#include <cstdint>

#include "status/status.h"

namespace encode {

// Writes `plane` (`width` x `height` packed rows, row 0 on top) as the tiles of
// `tiff`, open for writing with TileWidth and TileLength `tileSize` (a multiple of
// 16), ZSTD compression and the floating-point predictor: the tiles numbered from
// `firstTile` (the band's index times the tiles of a band), row by row, each padded
// with zeros past the band's edges, its rows through libtiff's floating-point
// predictor, one ZSTD frame at kFloatTiffZstdLevel. Each row of tiles is packed on
// two threads (on this one alone when no thread can be started) and written in
// order with TIFFWriteRawTile. Ok; OutOfMemory; Failed when zstd or libtiff refuse.
[[nodiscard]] status::Status WritePlaneTiles(TIFF* tiff, const float* plane, std::uint32_t width, std::uint32_t height,
                                             std::uint32_t tileSize, std::uint32_t firstTile);

}  // namespace encode
