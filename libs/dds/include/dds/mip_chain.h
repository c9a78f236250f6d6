#pragma once
// The one rule by which a level of a float RGBA mip chain follows the one above:
// plain averages of 2 x 2 texels, 3 wide at the last row or column of an odd size,
// so that no texel of the level above is left out.
#include <cstdint>

namespace dds {

// Fills `lower` (max(1, w/2) x max(1, h/2) texels of four floats) with the averages
// of the texels of `upper` (width x height) it covers. Sums are taken in double, in
// row order, and rounded once. Never fails.
void DownsampleLevel(const float* upper, std::uint32_t width, std::uint32_t height, float* lower);

// The same for the rows [firstRow, endRow) of `lower` only.
void DownsampleRows(const float* upper, std::uint32_t width, std::uint32_t height, float* lower, std::uint32_t firstRow,
                    std::uint32_t endRow);

// DownsampleLevel with the rows shared among the processor's cores when the level
// is large enough to gain from it; the same values. Works on one thread when no
// other can be had.
void DownsampleInParallel(const float* upper, std::uint32_t width, std::uint32_t height, float* lower);

}  // namespace dds
