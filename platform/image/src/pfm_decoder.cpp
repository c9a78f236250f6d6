#include "pfm_decoder.h"

#include <bit>
#include <charconv>
#include <cmath>

#include "platform/image/image_file.h"
#include "platform/memory_budget.h"
#include "netpbm_header.h"

namespace image {

namespace {

class PfmSource final : public RowSource {
public:
    PfmSource(ImageFile& file, const ImageInfo& info, std::uint64_t data_offset, bool swap_bytes)
        : file_(file), data_offset_(data_offset), swap_bytes_(swap_bytes) {
        info_ = info;
    }

    HRESULT ReadRows(std::uint8_t* destination, std::uint32_t count) override {
        const std::size_t row_bytes = info_.RowBytes();
        for (std::uint32_t i = 0; i < count; ++i, ++next_row_) {
            // The file's last row is the image's top row.
            const std::uint64_t stored_row = info_.height - 1 - next_row_;
            std::uint8_t* row = destination + i * row_bytes;
            if (!file_.ReadExactAt(data_offset_ + stored_row * row_bytes, row, row_bytes)) return D3DXERR_INVALIDDATA;
            if (swap_bytes_) {
                for (std::size_t b = 0; b < row_bytes; b += 4) {
                    std::swap(row[b], row[b + 3]);
                    std::swap(row[b + 1], row[b + 2]);
                }
            }
        }
        return S_OK;
    }

private:
    ImageFile& file_;
    std::uint64_t data_offset_;
    bool swap_bytes_;
    std::uint32_t next_row_ = 0;
};

// from_chars rather than strtod: the decimal point must not depend on the locale.
bool ParseScale(const std::string& field, double* scale) {
    const char* const end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, *scale);
    return error == std::errc() && stop == end && std::isfinite(*scale) && *scale != 0.0;
}

}  // namespace

HRESULT OpenPfmSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    NetpbmHeader header;
    if (!ReadNetpbmHeader(file, 3, false, &header)) return D3DXERR_INVALIDDATA;
    if (header.kind != 'F' && header.kind != 'f') return D3DXERR_INVALIDDATA;
    ImageInfo info;
    double scale = 0;
    if (!ParseNetpbmUnsigned(header.fields[0], UINT32_MAX, &info.width) ||
        !ParseNetpbmUnsigned(header.fields[1], UINT32_MAX, &info.height) || !ParseScale(header.fields[2], &scale)) {
        return D3DXERR_INVALIDDATA;
    }
    info.layout = header.kind == 'f' ? ChannelLayout::Grey : ChannelLayout::Rgb;
    info.type = SampleType::F32;

    std::uint64_t data_bytes = 0;
    if (!platform::CheckedMul(info.RowBytes(), info.height, &data_bytes) || header.data_offset > file.Size() ||
        data_bytes > file.Size() - header.data_offset) {
        return D3DXERR_INVALIDDATA;
    }
    const bool little_endian_data = scale < 0;
    const bool swap = little_endian_data != (std::endian::native == std::endian::little);
    *source = std::make_unique<PfmSource>(file, info, header.data_offset, swap);
    return S_OK;
}

}  // namespace image
