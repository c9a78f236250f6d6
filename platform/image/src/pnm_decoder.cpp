#include "pnm_decoder.h"

#include <bit>

#include "netpbm_header.h"
#include "platform/image/image_file.h"
#include "platform/memory_budget.h"

namespace image {

namespace {

class PnmSource final : public RowSource {
public:
    PnmSource(ImageFile& file, const ImageInfo& info) : file_(file) { info_ = info; }

    HRESULT readRows(std::uint8_t* destination, std::uint32_t count) override {
        const std::size_t bytes = info_.rowBytes() * count;
        if (!file_.readExact(destination, bytes)) return D3DXERR_INVALIDDATA;
        if (info_.type == SampleType::U16 && std::endian::native == std::endian::little) {
            for (std::size_t i = 0; i < bytes; i += 2) std::swap(destination[i], destination[i + 1]);
        }
        return S_OK;
    }

private:
    ImageFile& file_;
};

}  // namespace

HRESULT OpenPnmSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    NetpbmHeader header;
    if (!ReadNetpbmHeader(file, 3, true, &header)) return D3DXERR_INVALIDDATA;
    if (header.kind != '5' && header.kind != '6') return D3DXERR_INVALIDDATA;
    ImageInfo info;
    if (!ParseNetpbmUnsigned(header.fields[0], UINT32_MAX, &info.width) ||
        !ParseNetpbmUnsigned(header.fields[1], UINT32_MAX, &info.height) ||
        !ParseNetpbmUnsigned(header.fields[2], 65535, &info.maxValue)) {
        return D3DXERR_INVALIDDATA;
    }
    info.layout = header.kind == '5' ? ChannelLayout::Grey : ChannelLayout::Rgb;
    info.type = info.maxValue < 256 ? SampleType::U8 : SampleType::U16;

    // The samples are stored raw: a file shorter than they need is truncated.
    std::uint64_t dataBytes = 0;
    if (!platform::CheckedMul(info.rowBytes(), info.height, &dataBytes) || header.dataOffset > file.size() ||
        dataBytes > file.size() - header.dataOffset) {
        return D3DXERR_INVALIDDATA;
    }
    file.seek(header.dataOffset);
    *source = std::make_unique<PnmSource>(file, info);
    return S_OK;
}

}  // namespace image
