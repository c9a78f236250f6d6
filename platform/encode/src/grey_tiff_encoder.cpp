#include "platform/encode/grey_tiff_encoder.h"

#include <new>

#include "memory_tiff.h"
#include "platform/encode/encoded_size.h"

namespace exporter {

namespace {

[[nodiscard]] bool SetCompression(TIFF* tiff, Compression compression) {
    if (compression == Compression::None) return TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1;
    if (!TIFFIsCODECConfigured(COMPRESSION_ZSTD)) return false;
    return TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ZSTD) == 1 &&
           TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) == 1 &&
           TIFFSetField(tiff, TIFFTAG_ZSTD_LEVEL, 1) == 1;
}

[[nodiscard]] bool WriteTags(TIFF* tiff, const GreyImage& image, Compression compression) {
    return TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width) == 1 &&
           TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.height) == 1 &&
           TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1) == 1 &&
           TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, image.bitDepth) == 1 &&
           TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT) == 1 &&
           TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) == 1 &&
           TIFFSetField(tiff, TIFFTAG_SOFTWARE, "umbrascope-export") == 1 && SetCompression(tiff, compression) &&
           TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0)) == 1;
}

[[nodiscard]] bool WriteRows(TIFF* tiff, const GreyImage& image) {
    std::vector<std::uint8_t> narrow(image.bitDepth == 8 ? image.width : 0);
    for (std::uint32_t r = 0; r < image.height; ++r) {
        const std::uint16_t* row = image.samples.data() + std::size_t{r} * image.width;
        void* line = const_cast<std::uint16_t*>(row);  // libtiff copies it before encoding
        if (image.bitDepth == 8) {
            for (std::uint32_t c = 0; c < image.width; ++c) narrow[c] = static_cast<std::uint8_t>(row[c]);
            line = narrow.data();
        }
        if (TIFFWriteScanline(tiff, line, r, 0) != 1) return false;
    }
    return true;
}

}  // namespace

HRESULT EncodeGreyTiff(const GreyImage& image, std::vector<std::uint8_t>* bytes, std::string* why,
                       const TiffTagWriter& moreTags, Compression compression) {
    if (bytes == nullptr || why == nullptr || image.width == 0 || image.height == 0 ||
        (image.bitDepth != 8 && image.bitDepth != 16) ||
        image.samples.size() != std::size_t{image.width} * image.height) {
        return E_INVALIDARG;
    }
    try {
        MemoryTiff memory(bytes);
        const std::uint64_t raw = std::uint64_t{image.width} * image.height * (image.bitDepth / 8);
        bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, image.height)));
        TiffHandle tiff = memory.open(raw);
        const bool ok = tiff != nullptr && WriteTags(tiff.get(), image, compression) &&
                        (!moreTags || moreTags(tiff.get()) == S_OK) && WriteRows(tiff.get(), image);
        return memory.finish(std::move(tiff), ok, why);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace exporter
