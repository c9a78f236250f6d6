#include "format_detect.h"

#include <cstring>

namespace image {

namespace {

bool StartsWith(const std::uint8_t* head, std::size_t length, const char* magic, std::size_t magic_length) {
    return length >= magic_length && std::memcmp(head, magic, magic_length) == 0;
}

bool IsNetpbmSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// TGA has no signature: accept only headers whose every field is one that a TGA
// decoder can read. A colour-map type of 0 or 1 also rules out every format that
// the image library behind the TGA decoder would otherwise recognise.
bool LooksLikeTga(const std::uint8_t* h, std::size_t length) {
    if (length < 18) return false;
    const std::uint8_t map_type = h[1];
    const std::uint8_t image_type = h[2];
    const std::uint8_t map_entry_bits = h[7];
    const unsigned width = h[12] | (h[13] << 8);
    const unsigned height = h[14] | (h[15] << 8);
    const std::uint8_t pixel_bits = h[16];
    if (map_type > 1 || width == 0 || height == 0) return false;
    if (map_type == 1) {
        if (image_type != 1 && image_type != 9) return false;
        if (map_entry_bits != 8 && map_entry_bits != 15 && map_entry_bits != 16 && map_entry_bits != 24 &&
            map_entry_bits != 32)
            return false;
        if (pixel_bits != 8 && pixel_bits != 16) return false;
        return true;
    }
    if (image_type != 2 && image_type != 3 && image_type != 10 && image_type != 11) return false;
    return pixel_bits == 8 || pixel_bits == 15 || pixel_bits == 16 || pixel_bits == 24 || pixel_bits == 32;
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
