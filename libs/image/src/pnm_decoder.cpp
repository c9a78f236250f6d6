#include "pnm_decoder.h"

#include <bit>

#include "netpbm_header.h"
#include "packed_rows.h"
#include "image/image_file.h"
#include "os/memory_budget.h"

namespace image {

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
    if (!os::CheckedMul(info.rowBytes(), info.height, &dataBytes) || header.dataOffset > file.size() ||
        dataBytes > file.size() - header.dataOffset) {
        return D3DXERR_INVALIDDATA;
    }
    file.seek(header.dataOffset);
    *source = std::make_unique<PackedRowSource>(file, info, std::endian::big);
    return S_OK;
}

}  // namespace image
