#include "png_decoder.h"

#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "bad_data.h"
#include "image/image_file.h"
#include "os/memory_budget.h"

namespace image {

namespace {

// libpng reports errors by longjmp. The functions below that call setjmp are plain:
// no object with a destructor lives in their frames, and after a jump they only
// return. The callbacks libpng calls are plain too.

[[noreturn]] void OnPngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }

void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Reads through the file; `cutShort` learns that the file ended.
struct PngInput {
    ImageFile* file;
    bool* cutShort;
};

void OnPngRead(png_structp png, png_bytep data, png_size_t length) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (!input->file->readExact(data, length)) {
        *input->cutShort = true;
        png_error(png, "truncated");
    }
}

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    int channels;
    int bitDepth;
    int passes;
    png_size_t rowBytes;
};

// Reads the chunks up to the image data and asks for 8- or 16-bit samples in native
// byte order, palettes and transparency expanded.
bool ReadPngHeader(png_structp png, png_infop info, PngHeader* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16 && std::endian::native == std::endian::little) png_set_swap(png);
    header->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->channels = png_get_channels(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    header->rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadPngRows(png_structp png, png_bytep destination, png_size_t rowBytes, png_uint_32 count) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (png_uint_32 i = 0; i < count; ++i) png_read_row(png, destination + i * rowBytes, nullptr);
    return true;
}

bool ReadPngImage(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

// Reads the chunks after the image data, so that a file cut short there fails too.
bool ReadPngEnd(png_structp png) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_end(png, nullptr);
    return true;
}

class PngSource final : public RowSource {
public:
    PngSource() = default;
    ~PngSource() override { png_destroy_read_struct(&png_, &infoPng_, nullptr); }
    PngSource(const PngSource&) = delete;
    PngSource& operator=(const PngSource&) = delete;

    [[nodiscard]] status::Status open(ImageFile& file) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnPngError, &OnPngWarning);
        if (png_ == nullptr) return status::OutOfMemory();
        infoPng_ = png_create_info_struct(png_);
        if (infoPng_ == nullptr) return status::OutOfMemory();
        input_ = {&file, &cutShort_};
        png_set_read_fn(png_, &input_, &OnPngRead);
        // Only the critical chunks and tRNS matter here. libpng buffers text, profile
        // and other ancillary chunks whole at the length they claim, before reading
        // them; skipped chunks are read through in small pieces instead, so a claim
        // the file cannot hold fails as a cut-short file without allocating.
        png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);

        PngHeader header{};
        if (!ReadPngHeader(png_, infoPng_, &header)) return BadData("PNG header cut short or damaged");
        if ((header.bitDepth != 8 && header.bitDepth != 16) || header.channels < 1 || header.channels > 4) {
            return BadData("PNG of " + std::to_string(header.channels) + " channels of " +
                           std::to_string(header.bitDepth) + " bits is not read");
        }
        info_.width = header.width;
        info_.height = header.height;
        info_.layout = header.channels == 1   ? ChannelLayout::Grey
                       : header.channels == 2 ? ChannelLayout::GreyAlpha
                       : header.channels == 3 ? ChannelLayout::Rgb
                                              : ChannelLayout::Rgba;
        info_.type = header.bitDepth == 16 ? SampleType::U16 : SampleType::U8;
        info_.maxValue = header.bitDepth == 16 ? 65535 : 255;
        if (header.rowBytes != info_.rowBytes()) return BadData("PNG rows of an unexpected length");
        // A file too small for the filtered rows it claims is cut short: fail before
        // doing any work on it.
        std::uint64_t filteredBytes = 0;
        if (!os::CheckedMul(header.rowBytes + 1, header.height, &filteredBytes) ||
            filteredBytes / os::kMaxDeflateRatio > file.size()) {
            return CutShort("PNG");
        }

        if (header.passes > 1) {
            // Interlaced images come out whole, so they need the whole native image.
            std::uint64_t bytes = 0;
            const bool fits = os::CheckedMul(header.rowBytes, header.height, &bytes);
            if (!os::CheckFitsInMemory(bytes, !fits).ok()) return status::OutOfMemory();
            whole_ = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(bytes));
            std::vector<png_bytep> rows(header.height);
            for (png_uint_32 y = 0; y < header.height; ++y) rows[y] = whole_.get() + y * header.rowBytes;
            if (!ReadPngImage(png_, rows.data()) || !ReadPngEnd(png_))
                return BadData(std::string("interlaced PNG data ") + (cutShort_ ? "ends early" : "is damaged"));
        }
        return status::Ok();
    }

    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override {
        const std::size_t rowBytes = info_.rowBytes();
        if (whole_) {
            std::memcpy(destination, whole_.get() + nextRow_ * rowBytes, rowBytes * count);
        } else if (!ReadPngRows(png_, destination, rowBytes, count)) {
            return RowsBrokenAfter("PNG", cutShort_ ? "ends" : "is damaged", png_get_current_row_number(png_),
                                   info_.height);
        }
        nextRow_ += count;
        if (!whole_ && nextRow_ == info_.height && !ReadPngEnd(png_))
            return BadData(std::string("PNG ") + (cutShort_ ? "ends" : "is damaged") + " after its last row");
        return status::Ok();
    }

private:
    png_structp png_ = nullptr;
    png_infop infoPng_ = nullptr;
    std::unique_ptr<std::uint8_t[]> whole_;  // interlaced images only
    std::size_t nextRow_ = 0;
    PngInput input_{};
    bool cutShort_ = false;  // the file ended inside the data it announced
};

}  // namespace

status::Status OpenPngSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    auto png = std::make_unique<PngSource>();
    if (status::Status hr = png->open(file); !hr.ok()) return hr;
    *source = std::move(png);
    return status::Ok();
}

}  // namespace image
