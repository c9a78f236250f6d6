#include "packed_rows.h"

#include <utility>

#include "image/image_file.h"

namespace image {

PackedRowSource::PackedRowSource(ImageFile& file, const ImageInfo& info, std::endian stored)
    : file_(file), swap_(stored != std::endian::native && SampleBytes(info.type) > 1) {
    info_ = info;
}

status::Status PackedRowSource::readRows(std::uint8_t* destination, std::uint32_t count) {
    const std::size_t bytes = info_.rowBytes() * count;
    if (!file_.readExact(destination, bytes)) return status::Fail(status::Code::InvalidData, {});
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
