#pragma once
// Rows stored one after another from the file's current position, with no padding,
// as PGM/PPM and headerless RAW files hold them.
#include <bit>
#include <cstdint>

#include "image/row_source.h"

namespace image {

class ImageFile;

class PackedRowSource final : public RowSource {
public:
    // `stored` is the byte order of samples wider than a byte; rows come out in
    // this machine's order. `file` must outlive the source.
    PackedRowSource(ImageFile& file, const ImageInfo& info, std::endian stored);

    // InvalidData when the file ends before `count` rows.
    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override;

private:
    ImageFile& file_;
    bool swap_;
};

}  // namespace image
