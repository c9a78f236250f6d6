#include "encode/grey_tiff_encoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "encode/encoded_size.h"
#include "memory_tiff.h"

namespace encode {

namespace {

[[nodiscard]] bool SetCompression(TIFF* tiff, Compression compression) {
    if (compression == Compression::None) return TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1;
    if (!TIFFIsCODECConfigured(COMPRESSION_ZSTD)) return false;
    return TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ZSTD) == 1 &&
           TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) == 1 &&
           TIFFSetField(tiff, TIFFTAG_ZSTD_LEVEL, kGreyTiffZstdLevel) == 1;
}

// Packed strips of about 256 KB.
std::uint32_t PackedStripRows(const GreyImage& image) {
    const std::size_t rowBytes = std::size_t{image.width} * (image.bitDepth / 8);
    return static_cast<std::uint32_t>(std::clamp<std::size_t>((256 << 10) / rowBytes, 1, image.height));
}

[[nodiscard]] bool WriteTags(TIFF* tiff, const GreyImage& image, Compression compression) {
    return TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width) == 1 &&
           TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.height) == 1 &&
           TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1) == 1 &&
           TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, image.bitDepth) == 1 &&
           TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT) == 1 &&
           TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) == 1 && SetCompression(tiff, compression) &&
           TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                        compression == Compression::None ? TIFFDefaultStripSize(tiff, 0) : PackedStripRows(image)) == 1;
}

// Strips of the rows the tags set handed to libtiff, which predicts and packs them.
[[nodiscard]] bool WriteStrips(TIFF* tiff, const GreyImage& image) {
    std::uint32_t stripRows = 0;
    if (TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &stripRows) != 1 || stripRows == 0) return false;
    const std::size_t wide = image.bitDepth / 8;
    std::vector<std::uint8_t> raw(std::size_t{stripRows} * image.width * wide);
    for (std::uint32_t s = 0, first = 0; first < image.height; ++s, first += stripRows) {
        std::uint8_t* o = raw.data();
        for (std::uint32_t r = first; r < std::min(image.height, first + stripRows); ++r) {
            const std::uint16_t* row = image.samples.data() + std::size_t{r} * image.width;
            if (wide == 2) {
                std::memcpy(o, row, std::size_t{image.width} * 2);  // in the machine's order, as libtiff takes them
                o += std::size_t{image.width} * 2;
            } else {
                for (std::uint32_t c = 0; c < image.width; ++c) *o++ = static_cast<std::uint8_t>(row[c]);
            }
        }
        // libtiff may predict in place: `raw` is refilled for every strip.
        if (TIFFWriteEncodedStrip(tiff, s, raw.data(), o - raw.data()) < 0) return false;
    }
    return true;
}

}  // namespace

status::Status EncodeGreyTiff(const GreyImage& image, std::vector<std::uint8_t>* bytes, std::string* why,
                              const TiffTagWriter& moreTags, Compression compression) {
    if (bytes == nullptr || why == nullptr || image.width == 0 || image.height == 0 ||
        (image.bitDepth != 8 && image.bitDepth != 16) ||
        image.samples.size() != std::size_t{image.width} * image.height) {
        return status::Fail(status::Code::InvalidArgument, {});
    }
    try {
        MemoryTiff memory(bytes);
        const std::uint64_t raw = std::uint64_t{image.width} * image.height * (image.bitDepth / 8);
        bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, image.height)));
        TiffHandle tiff = memory.open(raw);
        const bool ok = tiff != nullptr && WriteTags(tiff.get(), image, compression) &&
                        (!moreTags || moreTags(tiff.get()).ok()) && WriteStrips(tiff.get(), image);
        return memory.finish(std::move(tiff), ok, why);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace encode
