#pragma once
// How hard the encoders pack their files.
#include <cstdint>

namespace encode {

// Fast: each format's quickest lossless packing (zstd at the levels below, RLE,
// PNGs by a run encoder of our own). None: the samples as they are, for disks that
// write faster than any packing on two cores runs (PNGs in stored deflate blocks).
enum class Compression : std::uint8_t { Fast, None };

// zstd's level for float TIFF strips: on a disk that takes 600 MB/s or more, level 1
// would set the pace; at -7 the channel file of the demo's 4096 map is 84 MB (80 MB
// at -3, 55 MB at 1) for a sixth less time than -3 took.
constexpr int kFloatTiffZstdLevel = -7;
// zstd's level for grey TIFF strips, which are small beside the float ones.
constexpr int kGreyTiffZstdLevel = 1;

}  // namespace encode
