#include "format_detect.h"

#include <cstring>

namespace image {

namespace {

bool StartsWith(const std::uint8_t* head, std::size_t length, const char* magic, std::size_t magicLength) {
    return length >= magicLength && std::memcmp(head, magic, magicLength) == 0;
}

bool IsNetpbmSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// TGA has no signature: accept only headers whose every field is one that a TGA
// decoder can read. A colour-map type of 0 or 1 also rules out every format that
// the image library behind the TGA decoder would otherwise recognise.
bool LooksLikeTga(const std::uint8_t* h, std::size_t length) {
    if (length < 18) return false;
    const std::uint8_t mapType = h[1];
    const std::uint8_t imageType = h[2];
    const std::uint8_t mapEntryBits = h[7];
    const unsigned width = h[12] | (h[13] << 8);
    const unsigned height = h[14] | (h[15] << 8);
    const std::uint8_t pixelBits = h[16];
    if (mapType > 1 || width == 0 || height == 0) return false;
    if (mapType == 1) {
        if (imageType != 1 && imageType != 9) return false;
        if (mapEntryBits != 8 && mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32)
            return false;
        if (pixelBits != 8 && pixelBits != 16) return false;
        return true;
    }
    if (imageType != 2 && imageType != 3 && imageType != 10 && imageType != 11) return false;
    return pixelBits == 8 || pixelBits == 15 || pixelBits == 16 || pixelBits == 24 || pixelBits == 32;
}

}  // namespace

ImageFormat DetectImageFormat(const std::uint8_t* head, std::size_t length) {
    if (StartsWith(head, length, "\x89PNG\r\n\x1a\n", 8)) return ImageFormat::Png;
    if (StartsWith(head, length, "\xff\xd8\xff", 3)) return ImageFormat::Jpeg;
    if (StartsWith(head, length, "II*\0", 4) || StartsWith(head, length, "MM\0*", 4) ||
        StartsWith(head, length, "II+\0", 4) || StartsWith(head, length, "MM\0+", 4)) {
        return ImageFormat::Tiff;
    }
    if (StartsWith(head, length, "DDS ", 4)) return ImageFormat::Dds;
    if (StartsWith(head, length, "\x76\x2f\x31\x01", 4)) return ImageFormat::Exr;
    if (length >= 3 && head[0] == 'P' && IsNetpbmSpace(head[2])) {
        if (head[1] == 'F' || head[1] == 'f') return ImageFormat::Pfm;
        if (head[1] == '5' || head[1] == '6') return ImageFormat::Pnm;
    }
    if (StartsWith(head, length, "BM", 2)) return ImageFormat::Bmp;
    if (StartsWith(head, length, "#?RADIANCE\n", 11) || StartsWith(head, length, "#?RGBE\n", 7))
        return ImageFormat::Hdr;
    if (LooksLikeTga(head, length)) return ImageFormat::Tga;
    return ImageFormat::Unknown;
}

}  // namespace image
