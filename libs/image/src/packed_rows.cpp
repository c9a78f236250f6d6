#include "packed_rows.h"

#include <algorithm>
#include <utility>

#include "bad_data.h"
#include "image/image_file.h"

namespace image {

PackedRowSource::PackedRowSource(ImageFile& file, const ImageInfo& info, std::endian stored, const char* format)
    : file_(file), swap_(stored != std::endian::native && SampleBytes(info.type) > 1), format_(format) {
    info_ = info;
}

status::Status PackedRowSource::readRows(std::uint8_t* destination, std::uint32_t count) {
    const std::size_t bytes = info_.rowBytes() * count;
    if (!file_.readExact(destination, bytes)) {
        const std::uint64_t left = file_.size() - std::min(file_.position(), file_.size());
        return RowsBrokenAfter(format_, "ends", rowsRead_ + std::min<std::uint64_t>(left / info_.rowBytes(), count),
                               info_.height);
    }
    rowsRead_ += count;
    if (!swap_) return status::Ok();
    if (SampleBytes(info_.type) == 2) {
        for (std::size_t i = 0; i < bytes; i += 2) std::swap(destination[i], destination[i + 1]);
    } else {
        for (std::size_t i = 0; i < bytes; i += 4) {
            std::swap(destination[i], destination[i + 3]);
            std::swap(destination[i + 1], destination[i + 2]);
        }
    }
    return status::Ok();
}

}  // namespace image
