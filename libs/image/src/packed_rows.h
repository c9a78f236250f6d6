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
    // this machine's order. `file` and `format` (its name in failures, e.g. "PGM")
    // must outlive the source.
    PackedRowSource(ImageFile& file, const ImageInfo& info, std::endian stored, const char* format);

    // InvalidData when the file ends before `count` rows.
    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override;

private:
    ImageFile& file_;
    bool swap_;
    const char* format_;
    std::uint64_t rowsRead_ = 0;
};

}  // namespace image
