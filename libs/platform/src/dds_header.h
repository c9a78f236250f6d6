#pragma once
// The file header of a float RGBA DDS texture with a mip chain.
#include <array>
#include <cstdint>

namespace graphics {

constexpr std::size_t kDdsHeaderBytes = 128;  // "DDS " and the 124-byte header

// Magic, header with caps, height, width, pitch (width x 16), pixel format (FourCC
// 116: four 32-bit floats) and mip count, all little-endian.
std::array<std::uint8_t, kDdsHeaderBytes> DdsHeader(std::uint32_t width, std::uint32_t height, std::uint32_t mipCount);

}  // namespace graphics
