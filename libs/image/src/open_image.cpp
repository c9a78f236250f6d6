#include "open_image.h"

#include <algorithm>
#include <cstdint>

#include "bad_data.h"
#include "exr_decoder.h"
#include "format_detect.h"
#include "hdr_decoder.h"
#include "image/dds_decoder.h"
#include "image/image_file.h"
#include "jpeg_decoder.h"
#include "pfm_decoder.h"
#include "png_decoder.h"
#include "pnm_decoder.h"
#include "stb_decoder.h"
#include "tiff_decoder.h"

namespace image {

namespace {

[[nodiscard]] status::Status OpenDetected(ImageFile& file, ImageFormat format, std::unique_ptr<RowSource>* source) {
    switch (format) {
        case ImageFormat::Png: return OpenPngSource(file, source);
        case ImageFormat::Jpeg: return OpenJpegSource(file, source);
        case ImageFormat::Tiff: return OpenTiffSource(file, source);
        case ImageFormat::Dds: return OpenDdsSource(file, source);
        case ImageFormat::Pnm: return OpenPnmSource(file, source);
        case ImageFormat::Pfm: return OpenPfmSource(file, source);
        case ImageFormat::Bmp:
        case ImageFormat::Tga: return OpenStbSource(file, format, source);
        case ImageFormat::Hdr: return OpenHdrSource(file, source);
        case ImageFormat::Exr: return OpenExrSource(file, source);
        case ImageFormat::Unknown: break;
    }
    return BadData("not an image format that is read (PNG, JPEG, TIFF, DDS, PGM, PPM, PFM, BMP, TGA, HDR, EXR, "
                   "or RAW by its name)");
}

}  // namespace

status::Status OpenImageSource(ImageFile& file, RawSample raw, std::unique_ptr<RowSource>* source) {
    std::uint8_t head[kFormatProbeBytes] = {};
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), sizeof head));
    if (!file.readExactAt(0, head, length)) return BadData("cannot read the file's first bytes");
    file.seek(0);

    ImageFormat format = DetectImageFormat(head, length);
    // TGA has no signature, only a plausible header: a RAW name outweighs it.
    if (format == ImageFormat::Tga && raw != RawSample::None) format = ImageFormat::Unknown;
    status::Status hr = OpenDetected(file, format, source);
    // A height map's first samples may happen to spell another format's signature;
    // when that format's decoder refuses the file, it is still the RAW its name says.
    if (!hr.ok() && raw != RawSample::None) {
        source->reset();
        hr = OpenRawSource(file, raw, source);
    }
    if (!hr.ok()) return hr;
    const ImageInfo& info = (*source)->info();
    if (info.width == 0 || info.height == 0) return BadData("an image of no texels");
    return status::Ok();
}

}  // namespace image
