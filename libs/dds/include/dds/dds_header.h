#pragma once
// The header of a DDS file: "DDS ", the 124-byte header and, for DXGI formats, the
// 20-byte DX10 extension. All fields little-endian.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "status/status.h"

namespace dds {

constexpr std::size_t kHeaderBytes = 128;  // "DDS " and the 124-byte header
constexpr std::size_t kDx10Bytes = 20;

constexpr std::uint32_t kPixelAlpha = 0x1;
constexpr std::uint32_t kPixelFourCc = 0x4;
constexpr std::uint32_t kPixelRgb = 0x40;
constexpr std::uint32_t kPixelLuminance = 0x20000;
constexpr std::uint32_t kFourCcFloatRgba = 116;    // four 32-bit floats
constexpr std::uint32_t kFourCcDx10 = 0x30315844;  // "DX10"
constexpr std::uint32_t kDxgiHalfRgba = 10;        // R16G16B16A16_FLOAT
constexpr std::uint32_t kDx10Texture2D = 3;
constexpr std::uint32_t kDx10MiscCube = 0x4;

// What a header says, read field by field.
struct Header {
    std::uint32_t width = 0, height = 0;
    std::uint32_t mipLevels = 1;  // 1 when the header gives no count
    std::uint32_t pixelFlags = 0;
    std::uint32_t fourCc = 0;
    std::uint32_t rgbBits = 0;
    std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha (0 without the alpha flag)
    bool cubeOrVolume = false;
    bool dx10 = false;  // then the fields below are read
    std::uint32_t dxgiFormat = 0, dimension = 0, miscFlags = 0, arraySize = 0;

    // Bytes from the file's start to level 0.
    std::size_t dataOffset() const { return kHeaderBytes + (dx10 ? kDx10Bytes : 0); }
};

std::uint32_t Le32(const std::uint8_t* bytes);

// Reads the header from the first `size` bytes of a file. Ok; InvalidData when the
// magic, the header's or the pixel format's size is wrong, when it is cut short
// (a DX10 header needs kHeaderBytes + kDx10Bytes), or the size is 0 texels; the
// reason says which ("not a DDS file", "cut short inside the DDS header", ...) and
// the caller prefixes the file's name. Exhausted memory escapes as std::bad_alloc.
status::Status ReadHeader(const std::uint8_t* bytes, std::size_t size, Header* header);

// Levels from width x height down to 1 x 1, each half the one above (rounded down,
// at least 1): bit_width(max(width, height)).
std::uint32_t FullMipCount(std::uint32_t width, std::uint32_t height);

// The header of a float RGBA texture (FourCC 116) with `mipCount` levels.
std::array<std::uint8_t, kHeaderBytes> FloatRgbaHeader(std::uint32_t width, std::uint32_t height,
                                                       std::uint32_t mipCount);

// The header and DX10 extension of an array of `slices` half-float RGBA textures
// (DXGI format 10) with `mipCount` levels each.
std::array<std::uint8_t, kHeaderBytes + kDx10Bytes> HalfRgbaArrayHeader(std::uint32_t width, std::uint32_t height,
                                                                        std::uint32_t mipCount, std::uint32_t slices);

}  // namespace dds
