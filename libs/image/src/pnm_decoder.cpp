#include "pnm_decoder.h"

#include <bit>

#include "image/image_file.h"
#include "netpbm_header.h"
#include "os/memory_budget.h"
#include "packed_rows.h"

namespace image {

status::Status OpenPnmSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    NetpbmHeader header;
    if (!ReadNetpbmHeader(file, 3, true, &header)) return status::Fail(status::Code::InvalidData, {});
    if (header.kind != '5' && header.kind != '6') return status::Fail(status::Code::InvalidData, {});
    ImageInfo info;
    if (!ParseNetpbmUnsigned(header.fields[0], UINT32_MAX, &info.width) ||
        !ParseNetpbmUnsigned(header.fields[1], UINT32_MAX, &info.height) ||
        !ParseNetpbmUnsigned(header.fields[2], 65535, &info.maxValue)) {
        return status::Fail(status::Code::InvalidData, {});
    }
    info.layout = header.kind == '5' ? ChannelLayout::Grey : ChannelLayout::Rgb;
    info.type = info.maxValue < 256 ? SampleType::U8 : SampleType::U16;

    // The samples are stored raw: a file shorter than they need is truncated.
    std::uint64_t dataBytes = 0;
    if (!os::CheckedMul(info.rowBytes(), info.height, &dataBytes) || header.dataOffset > file.size() ||
        dataBytes > file.size() - header.dataOffset) {
        return status::Fail(status::Code::InvalidData, {});
    }
    file.seek(header.dataOffset);
    *source = std::make_unique<PackedRowSource>(file, info, std::endian::big);
    return status::Ok();
}

}  // namespace image
