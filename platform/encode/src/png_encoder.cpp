#include "platform/encode/png_encoder.h"

#include "platform/encode/encoded_size.h"

#include <png.h>
#include <zlib.h>

#include <bit>
#include <new>

namespace exporter {

namespace {

struct PngSink {
    std::vector<std::uint8_t>* bytes;
    bool outOfMemory = false;
};

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    try {
        sink->bytes->insert(sink->bytes->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        sink->outOfMemory = true;
        png_error(png, "out of memory");
    }
}

void NoFlush(png_structp) {}

// Failures become results; nothing is printed.
[[noreturn]] void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

// libpng reports through longjmp; this frame holds nothing that needs destroying.
[[nodiscard]] bool Encode(png_structp png, png_infop info, const GreyImage& image, const std::vector<png_bytep>& rows,
                          Compression compression) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Speed over size: zlib's run-length matching after one cheap filter, faster
    // than its fastest level and as small on these pictures' flat stretches.
    png_set_compression_level(png, compression == Compression::None ? 0 : 1);
    png_set_compression_strategy(png, Z_RLE);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, compression == Compression::None ? PNG_FILTER_NONE : PNG_FILTER_UP);
    png_write_info(png, info);
    // Our samples are native words, PNG's are big-endian.
    if (image.bitDepth == 16 && std::endian::native == std::endian::little) png_set_swap(png);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, info);
    return true;
}

}  // namespace

HRESULT EncodeGreyPng(const GreyImage& image, std::vector<std::uint8_t>* bytes, Compression compression) {
    if (bytes == nullptr || image.width == 0 || image.height == 0 || (image.bitDepth != 8 && image.bitDepth != 16)) {
        return E_INVALIDARG;
    }
    try {
        bytes->clear();
        const std::uint64_t raw = std::uint64_t{image.height} * (1 + std::uint64_t{image.width} * image.bitDepth / 8);
        bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, image.height)));
        // 8-bit samples are packed into bytes first; 16-bit ones are written as they lie.
        std::vector<std::uint8_t> narrow;
        std::vector<png_bytep> rows(image.height);
        if (image.bitDepth == 8) {
            narrow.assign(image.samples.begin(), image.samples.end());
            for (std::uint32_t r = 0; r < image.height; ++r) rows[r] = narrow.data() + std::size_t{r} * image.width;
        } else {
            auto* base = reinterpret_cast<png_bytep>(const_cast<std::uint16_t*>(image.samples.data()));
            for (std::uint32_t r = 0; r < image.height; ++r) rows[r] = base + std::size_t{r} * image.width * 2;
        }
        PngSink sink{bytes, false};
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, IgnoreWarning);
        if (png == nullptr) return E_OUTOFMEMORY;
        png_infop info = png_create_info_struct(png);
        if (info == nullptr) {
            png_destroy_write_struct(&png, nullptr);
            return E_OUTOFMEMORY;
        }
        png_set_write_fn(png, &sink, Append, NoFlush);
        const bool written = Encode(png, info, image, rows, compression);
        png_destroy_write_struct(&png, &info);
        if (written) return S_OK;
        bytes->clear();
        return sink.outOfMemory ? E_OUTOFMEMORY : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace exporter
