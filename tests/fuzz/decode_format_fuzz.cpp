// One decoder, called directly whatever the file's first bytes say, so that the
// fuzzer reaches it with inputs format detection would send elsewhere.
// FUZZ_FORMAT names the ImageFormat: Png, Jpeg, Tiff, Bmp, Tga, Pnm, Pfm, Hdr, Dds or Exr.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "drain_rows.h"
#include "exr_decoder.h"
#include "format_detect.h"
#include "fuzz_check.h"
#include "hdr_decoder.h"
#include "image/dds_decoder.h"
#include "image/image_file.h"
#include "jpeg_decoder.h"
#include "memory_file.h"
#include "pfm_decoder.h"
#include "png_decoder.h"
#include "pnm_decoder.h"
#include "stb_decoder.h"
#include "tiff_decoder.h"

using image::ImageFormat;

#ifndef FUZZ_FORMAT
#error "FUZZ_FORMAT must name the decoder under test"
#endif

namespace {

status::Code OpenSource(image::ImageFile& file, std::unique_ptr<image::RowSource>* source) {
    constexpr ImageFormat kFormat = ImageFormat::FUZZ_FORMAT;
    switch (kFormat) {
        case ImageFormat::Png: return OpenPngSource(file, source).code;
        case ImageFormat::Jpeg: return OpenJpegSource(file, source).code;
        case ImageFormat::Tiff: return OpenTiffSource(file, source).code;
        case ImageFormat::Pnm: return OpenPnmSource(file, source).code;
        case ImageFormat::Pfm: return OpenPfmSource(file, source).code;
        case ImageFormat::Dds: return OpenDdsSource(file, source).code;
        case ImageFormat::Hdr: return OpenHdrSource(file, source).code;
        case ImageFormat::Exr: return OpenExrSource(file, source).code;
        case ImageFormat::Bmp:
        case ImageFormat::Tga: return OpenStbSource(file, kFormat, source).code;
        case ImageFormat::Unknown: break;
    }
    return status::Code::Failed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MemoryFile input(data, size);
    image::ImageFile file;
    const status::Code opened = file.open(input.path()).code;
    if (size == 0) {
        FUZZ_CHECK(opened == status::Code::InvalidData);
        return 0;
    }
    FUZZ_CHECK(opened == status::Code::Ok);
    FUZZ_CHECK(file.size() == size);

    std::unique_ptr<image::RowSource> source;
    try {
        const status::Code code = OpenSource(file, &source);
        FUZZ_CHECK(IsDecoderResult(code));
        if (code != status::Code::Ok) return 0;
        FUZZ_CHECK(source != nullptr);
        // The loader refuses an empty image before asking for rows.
        if (source->info().width == 0 || source->info().height == 0) return 0;
        DrainRows(*source);
    } catch (const std::bad_alloc&) {
        // The loader turns this into OutOfMemory.
    }
    return 0;
}
