#pragma once
// Which decoder a file needs, told from its first bytes, never from its name.
#include <cstddef>
#include <cstdint>

namespace image {

enum class ImageFormat : std::uint8_t { Unknown, Png, Jpeg, Tiff, Bmp, Tga, Pnm, Pfm, Hdr, Dds, Exr };

// Bytes of the file's start that DetectImageFormat looks at, at most.
constexpr std::size_t kFormatProbeBytes = 32;

ImageFormat DetectImageFormat(const std::uint8_t* head, std::size_t length);

}  // namespace image
