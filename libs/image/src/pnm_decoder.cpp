#include "pnm_decoder.h"

#include <bit>

#include "bad_data.h"
#include "image/image_file.h"
#include "netpbm_header.h"
#include "os/memory_budget.h"
#include "packed_rows.h"

namespace image {

status::Status OpenPnmSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    NetpbmHeader header;
    if (!ReadNetpbmHeader(file, 3, true, &header)) return BadData("PGM/PPM header cut short or damaged");
    if (header.kind != '5' && header.kind != '6') return BadData("only binary PGM (P5) and PPM (P6) are read");
    ImageInfo info;
    if (!ParseNetpbmUnsigned(header.fields[0], UINT32_MAX, &info.width) ||
        !ParseNetpbmUnsigned(header.fields[1], UINT32_MAX, &info.height) ||
        !ParseNetpbmUnsigned(header.fields[2], 65535, &info.maxValue)) {
        return BadData("PGM/PPM header with a size or maximum that is no number up to its limit");
    }
    info.layout = header.kind == '5' ? ChannelLayout::Grey : ChannelLayout::Rgb;
    info.type = info.maxValue < 256 ? SampleType::U8 : SampleType::U16;

    // The samples are stored raw: a file shorter than they need is truncated.
    std::uint64_t dataBytes = 0;
    if (!os::CheckedMul(info.rowBytes(), info.height, &dataBytes) || header.dataOffset > file.size() ||
        dataBytes > file.size() - header.dataOffset) {
        const std::uint64_t stored = header.dataOffset > file.size() ? 0 : file.size() - header.dataOffset;
        const std::uint64_t whole = info.rowBytes() == 0 ? 0 : stored / info.rowBytes();
        return RowsBrokenAfter(header.kind == '5' ? "PGM" : "PPM", "ends", whole, info.height);
    }
    file.seek(header.dataOffset);
    *source = std::make_unique<PackedRowSource>(file, info, std::endian::big, header.kind == '5' ? "PGM" : "PPM");
    return status::Ok();
}

}  // namespace image
