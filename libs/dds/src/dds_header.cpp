#include "dds/dds_header.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace dds {

namespace {

constexpr std::uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000,
                        kMipMapCount = 0x20000;
constexpr std::uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipMap = 0x400000;
constexpr std::uint32_t kCaps2Cubemap = 0x200, kCaps2Volume = 0x200000;

void Put(std::uint8_t* bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The 128 bytes every header starts with; `pitch` is level 0's row in bytes.
void PutCommon(std::uint8_t* h, std::uint32_t width, std::uint32_t height, std::uint32_t pitch, std::uint32_t mipCount,
               std::uint32_t fourCc) {
    h[0] = 'D', h[1] = 'D', h[2] = 'S', h[3] = ' ';
    Put(h, 4, 124);
    Put(h, 8, kCaps | kHeight | kWidth | kPitch | kPixelFormat | kMipMapCount);
    Put(h, 12, height);
    Put(h, 16, width);
    Put(h, 20, pitch);
    Put(h, 28, mipCount);
    // 11 reserved words stay 0; the pixel format follows at 76.
    Put(h, 76, 32);
    Put(h, 80, kPixelFourCc);
    Put(h, 84, fourCc);
    Put(h, 108, kCapsComplex | kCapsTexture | kCapsMipMap);
}

}  // namespace

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

status::Status ReadHeader(const std::uint8_t* bytes, std::size_t size, Header* header) {
    using status::Code;
    const bool magic = size >= 4 && std::memcmp(bytes, "DDS ", 4) == 0;
    if (size < kHeaderBytes)
        return status::Fail(Code::InvalidData, magic ? "cut short inside the DDS header" : "not a DDS file");
    if (!magic || Le32(bytes + 4) != 124 || Le32(bytes + 76) != 32)
        return status::Fail(Code::InvalidData, "not a DDS file");
    Header h;
    h.height = Le32(bytes + 12);
    h.width = Le32(bytes + 16);
    h.mipLevels = (Le32(bytes + 8) & kMipMapCount) != 0 ? std::max(Le32(bytes + 28), 1u) : 1;
    const std::uint8_t* pf = bytes + 76;
    h.pixelFlags = Le32(pf + 4);
    h.fourCc = Le32(pf + 8);
    h.rgbBits = Le32(pf + 12);
    h.masks = {Le32(pf + 16), Le32(pf + 20), Le32(pf + 24), (h.pixelFlags & kPixelAlpha) != 0 ? Le32(pf + 28) : 0};
    h.cubeOrVolume = (Le32(bytes + 112) & (kCaps2Cubemap | kCaps2Volume)) != 0;
    h.dx10 = (h.pixelFlags & kPixelFourCc) != 0 && h.fourCc == kFourCcDx10;
    if (h.dx10) {
        if (size < kHeaderBytes + kDx10Bytes) return status::Fail(Code::InvalidData, "cut short inside the DDS header");
        const std::uint8_t* x = bytes + kHeaderBytes;
        h.dxgiFormat = Le32(x);
        h.dimension = Le32(x + 4);
        h.miscFlags = Le32(x + 8);
        h.arraySize = Le32(x + 12);
    }
    if (h.width == 0 || h.height == 0) return status::Fail(Code::InvalidData, "the header gives a size of 0 texels");
    *header = h;
    return status::Ok();
}

std::uint32_t FullMipCount(std::uint32_t width, std::uint32_t height) {
    return static_cast<std::uint32_t>(std::bit_width(std::max(width, height)));
}

std::array<std::uint8_t, kHeaderBytes> FloatRgbaHeader(std::uint32_t width, std::uint32_t height,
                                                       std::uint32_t mipCount) {
    std::array<std::uint8_t, kHeaderBytes> h{};
    PutCommon(h.data(), width, height, width * 16u, mipCount, kFourCcFloatRgba);
    return h;
}

std::array<std::uint8_t, kHeaderBytes + kDx10Bytes> HalfRgbaArrayHeader(std::uint32_t width, std::uint32_t height,
                                                                        std::uint32_t mipCount, std::uint32_t slices) {
    std::array<std::uint8_t, kHeaderBytes + kDx10Bytes> h{};
    PutCommon(h.data(), width, height, width * 8u, mipCount, kFourCcDx10);
    std::uint8_t* x = h.data() + kHeaderBytes;
    Put(x, 0, kDxgiHalfRgba);
    Put(x, 4, kDx10Texture2D);
    Put(x, 12, slices);
    return h;
}

}  // namespace dds
