#include "platform/image/open_image.h"

#include <algorithm>
#include <cstdint>

#include "platform/image/dds_decoder.h"
#include "platform/image/format_detect.h"
#include "platform/image/hdr_decoder.h"
#include "platform/image/image_file.h"
#include "platform/image/jpeg_decoder.h"
#include "platform/image/pfm_decoder.h"
#include "platform/image/png_decoder.h"
#include "platform/image/pnm_decoder.h"
#include "platform/image/stb_decoder.h"
#include "platform/image/tiff_decoder.h"

HRESULT OpenImageSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    std::uint8_t head[kFormatProbeBytes] = {};
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), sizeof head));
    if (!file.ReadExactAt(0, head, length)) return D3DXERR_INVALIDDATA;
    file.Seek(0);

    HRESULT hr = D3DXERR_INVALIDDATA;
    switch (DetectImageFormat(head, length)) {
        case ImageFormat::Png:
            hr = OpenPngSource(file, source);
            break;
        case ImageFormat::Jpeg:
            hr = OpenJpegSource(file, source);
            break;
        case ImageFormat::Tiff:
            hr = OpenTiffSource(file, source);
            break;
        case ImageFormat::Dds:
            hr = OpenDdsSource(file, source);
            break;
        case ImageFormat::Pnm:
            hr = OpenPnmSource(file, source);
            break;
        case ImageFormat::Pfm:
            hr = OpenPfmSource(file, source);
            break;
        case ImageFormat::Bmp:
            hr = OpenStbSource(file, ImageFormat::Bmp, source);
            break;
        case ImageFormat::Tga:
            hr = OpenStbSource(file, ImageFormat::Tga, source);
            break;
        case ImageFormat::Hdr:
            hr = OpenHdrSource(file, source);
            break;
        case ImageFormat::Unknown:
            break;
    }
    if (hr != S_OK) return hr;
    const ImageInfo& info = (*source)->Info();
    if (info.width == 0 || info.height == 0) return D3DXERR_INVALIDDATA;
    return S_OK;
}
