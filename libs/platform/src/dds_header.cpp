#include "dds_header.h"

namespace graphics {

namespace {

constexpr std::uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000,
                        kMipMapCount = 0x20000;
constexpr std::uint32_t kFourCCFlag = 0x4;
constexpr std::uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipMap = 0x400000;
constexpr std::uint32_t kFourCCFloatRGBA = 116;

void Put(std::array<std::uint8_t, kDdsHeaderBytes>& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::array<std::uint8_t, kDdsHeaderBytes> DdsHeader(std::uint32_t width, std::uint32_t height, std::uint32_t mipCount) {
    std::array<std::uint8_t, kDdsHeaderBytes> h{};
    h[0] = 'D', h[1] = 'D', h[2] = 'S', h[3] = ' ';
    Put(h, 4, 124);  // header size
    Put(h, 8, kCaps | kHeight | kWidth | kPitch | kPixelFormat | kMipMapCount);
    Put(h, 12, height);
    Put(h, 16, width);
    Put(h, 20, width * 16u);  // pitch of level 0
    Put(h, 24, 0);            // depth
    Put(h, 28, mipCount);
    // 11 reserved words stay 0; the pixel format follows at 76.
    Put(h, 76, 32);  // pixel format size
    Put(h, 80, kFourCCFlag);
    Put(h, 84, kFourCCFloatRGBA);
    Put(h, 108, kCapsComplex | kCapsTexture | kCapsMipMap);
    return h;
}

}  // namespace graphics
