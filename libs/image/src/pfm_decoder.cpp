#include "pfm_decoder.h"

#include <bit>
#include <charconv>
#include <cmath>

#include "bad_data.h"
#include "image/image_file.h"
#include "netpbm_header.h"
#include "os/memory_budget.h"

namespace image {

namespace {

class PfmSource final : public RowSource {
public:
    PfmSource(ImageFile& file, const ImageInfo& info, std::uint64_t dataOffset, bool swapBytes)
        : file_(file), dataOffset_(dataOffset), swapBytes_(swapBytes) {
        info_ = info;
    }

    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override {
        const std::size_t rowBytes = info_.rowBytes();
        for (std::uint32_t i = 0; i < count; ++i, ++nextRow_) {
            // The file's last row is the image's top row.
            const std::uint64_t storedRow = info_.height - 1 - nextRow_;
            std::uint8_t* row = destination + i * rowBytes;
            if (!file_.readExactAt(dataOffset_ + storedRow * rowBytes, row, rowBytes))
                return RowsBrokenAfter("PFM", "ends", nextRow_, info_.height);
            if (swapBytes_) {
                for (std::size_t b = 0; b < rowBytes; b += 4) {
                    std::swap(row[b], row[b + 3]);
                    std::swap(row[b + 1], row[b + 2]);
                }
            }
        }
        return status::Ok();
    }

private:
    ImageFile& file_;
    std::uint64_t dataOffset_;
    bool swapBytes_;
    std::uint32_t nextRow_ = 0;
};

// from_chars rather than strtod: the decimal point must not depend on the locale.
bool ParseScale(const std::string& field, double* scale) {
    const char* const end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, *scale);
    return error == std::errc() && stop == end && std::isfinite(*scale) && *scale != 0.0;
}

}  // namespace

status::Status OpenPfmSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    NetpbmHeader header;
    if (!ReadNetpbmHeader(file, 3, false, &header)) return BadData("PFM header cut short or damaged");
    if (header.kind != 'F' && header.kind != 'f') return BadData("not a PFM file");
    ImageInfo info;
    double scale = 0;
    if (!ParseNetpbmUnsigned(header.fields[0], UINT32_MAX, &info.width) ||
        !ParseNetpbmUnsigned(header.fields[1], UINT32_MAX, &info.height) || !ParseScale(header.fields[2], &scale)) {
        return BadData("PFM header with a size or scale that is no number");
    }
    info.layout = header.kind == 'f' ? ChannelLayout::Grey : ChannelLayout::Rgb;
    info.type = SampleType::F32;

    std::uint64_t dataBytes = 0;
    if (!os::CheckedMul(info.rowBytes(), info.height, &dataBytes) || header.dataOffset > file.size() ||
        dataBytes > file.size() - header.dataOffset) {
        return CutShort("PFM");
    }
    const bool littleEndianData = scale < 0;
    const bool swap = littleEndianData != (std::endian::native == std::endian::little);
    *source = std::make_unique<PfmSource>(file, info, header.dataOffset, swap);
    return status::Ok();
}

}  // namespace image
