#pragma once
// Horizon maps for engines: a DX10 DDS texture array of R16G16B16A16_FLOAT slices,
// four directions per slice (red, green, blue, alpha in the order given), each texel
// the sine of the horizon angle so that a shader compares it with the sun's
// direction's z directly; -1 (nothing rises) where there is no horizon or no data.
// Every slice carries a complete mip chain by the rule all our DDS files share
// (dds/mip_chain.h: 2 x 2 means, 3 wide at an odd side's last texel). Slices follow
// one another, each with all its levels, as DDS arrays are stored.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "status/status.h"

namespace sky {

// `bands` a multiple of 4 of width x height angle bands (kNoData where none). Ok
// with the file in `bytes`; InvalidArgument for anything else; OutOfMemory.
[[nodiscard]] status::Status EncodeEngineDds(const std::vector<std::vector<float>>& bands, std::uint32_t width,
                                             std::uint32_t height, std::vector<std::uint8_t>* bytes);

// The file streamed slice by slice: the header (DDS and DX10), which the slices
// follow, each EngineSliceBytes long, slice s at the header's size + s times that.
[[nodiscard]] std::vector<std::uint8_t> EngineDdsHeader(std::uint32_t width, std::uint32_t height,
                                                        std::uint32_t slices);
[[nodiscard]] std::uint64_t EngineSliceBytes(std::uint32_t width, std::uint32_t height);

// Receives a slice's bytes piece by piece, in order: Ok to go on.
using SliceBytes = std::function<status::Status(const std::vector<std::uint8_t>& bytes)>;

// One slice from the angle bands of its red, green, blue and alpha (width x height
// each), handed to `put` in pieces, the largest mip level first. Ok, or what
// `put` returned. Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] status::Status EncodeEngineSlice(const std::array<const float*, 4>& bands, std::uint32_t width,
                                               std::uint32_t height, const SliceBytes& put);

// The number of mip levels of a complete chain: floor(log2(max side)) + 1.
[[nodiscard]] std::uint32_t MipLevels(std::uint32_t width, std::uint32_t height);

// The nearest half float (ties to even), as its bits.
[[nodiscard]] std::uint16_t HalfBits(float value);

}  // namespace sky
