#pragma once
// How hard the encoders pack their files.
#include <cstdint>

namespace encode {

// Fast: each format's quickest lossless packing (zstd at the levels below, RLE,
// PNGs by a run encoder of our own). None: the samples as they are, for disks that
// write faster than any packing on two cores runs (PNGs in stored deflate blocks).
enum class Compression : std::uint8_t { Fast, None };

// zstd's level for float TIFF strips: a fast level, so that two cores pack faster
// than a 600 MB/s disk writes; level 1 packs tighter but would set the pace.
constexpr int kFloatTiffZstdLevel = -7;
// zstd's level for grey TIFF strips, which are small beside the float ones.
constexpr int kGreyTiffZstdLevel = 1;

}  // namespace encode
