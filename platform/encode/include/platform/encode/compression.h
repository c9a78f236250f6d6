#pragma once
// How hard the encoders pack their files.
#include <cstdint>

namespace exporter {

// Fast: each format's quickest lossless packing (zstd -3, RLE, zlib run-length).
// None: the samples as they are, for disks that write faster than any packing on
// two cores runs (PNGs in stored deflate blocks).
enum class Compression : std::uint8_t { Fast, None };

}  // namespace exporter
