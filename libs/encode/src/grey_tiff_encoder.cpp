#include "encode/grey_tiff_encoder.h"

#include <zstd.h>

#include <algorithm>
#include <memory>
#include <new>

#include "memory_tiff.h"
#include "encode/encoded_size.h"
#include "os/side_by_side_work.h"

namespace encode {

namespace {

[[nodiscard]] bool SetCompression(TIFF* tiff, Compression compression) {
    if (compression == Compression::None) return TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1;
    if (!TIFFIsCODECConfigured(COMPRESSION_ZSTD)) return false;
    return TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ZSTD) == 1 &&
           TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) == 1 &&
           TIFFSetField(tiff, TIFFTAG_ZSTD_LEVEL, kGreyTiffZstdLevel) == 1;
}

// Packed strips of about 256 KB: each a zstd frame, made on either core.
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
           TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) == 1 &&
           SetCompression(tiff, compression) &&
           TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                        compression == Compression::None ? TIFFDefaultStripSize(tiff, 0) : PackedStripRows(image)) == 1;
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

struct FreeZstd {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

// Strips `first` to `end`: the rows put through the horizontal predictor (each
// sample less the one before it, little-endian words) and compressed at level 1.
[[nodiscard]] bool PackStrips(const GreyImage& image, std::uint32_t stripRows, std::uint32_t first, std::uint32_t end,
                              std::vector<std::vector<std::uint8_t>>* strips) {
    const std::unique_ptr<ZSTD_CCtx, FreeZstd> context(ZSTD_createCCtx());
    if (context == nullptr) throw std::bad_alloc();
    const std::size_t wide = image.bitDepth / 8;
    std::vector<std::uint8_t> raw(std::size_t{stripRows} * image.width * wide);
    std::vector<std::uint8_t> packed(ZSTD_compressBound(raw.size()));
    for (std::uint32_t s = first; s < end; ++s) {
        std::uint8_t* o = raw.data();
        for (std::uint32_t r = s * stripRows; r < std::min(image.height, (s + 1) * stripRows); ++r) {
            const std::uint16_t* row = image.samples.data() + std::size_t{r} * image.width;
            for (std::uint32_t c = 0; c < image.width; ++c, o += wide) {
                const auto d = static_cast<std::uint16_t>(row[c] - (c > 0 ? row[c - 1] : 0));
                o[0] = static_cast<std::uint8_t>(d);
                if (wide == 2) o[1] = static_cast<std::uint8_t>(d >> 8);
            }
        }
        const std::size_t made = ZSTD_compressCCtx(context.get(), packed.data(), packed.size(), raw.data(),
                                                   o - raw.data(), kGreyTiffZstdLevel);
        if (ZSTD_isError(made)) return false;
        (*strips)[s].assign(packed.data(), packed.data() + made);
    }
    return true;
}

// The packed strips made on both cores, then handed to libtiff as they are.
[[nodiscard]] bool WritePackedStrips(TIFF* tiff, const GreyImage& image) {
    const std::uint32_t stripRows = PackedStripRows(image);
    const std::uint32_t count = (image.height + stripRows - 1) / stripRows;
    std::vector<std::vector<std::uint8_t>> strips(count);
    bool packed[2] = {false, false};
    os::RunSideBySide([&] { packed[0] = PackStrips(image, stripRows, 0, count / 2, &strips); },
                  [&] { packed[1] = PackStrips(image, stripRows, count / 2, count, &strips); });
    if (!packed[0] || !packed[1]) return false;
    for (std::uint32_t s = 0; s < count; ++s)
        if (TIFFWriteRawStrip(tiff, s, strips[s].data(), static_cast<tmsize_t>(strips[s].size())) < 0) return false;
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
        const bool ok =
            tiff != nullptr && WriteTags(tiff.get(), image, compression) && (!moreTags || moreTags(tiff.get()).ok()) &&
            (compression == Compression::None ? WriteRows(tiff.get(), image) : WritePackedStrips(tiff.get(), image));
        return memory.finish(std::move(tiff), ok, why);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace encode
