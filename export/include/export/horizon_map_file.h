#pragma once
// Level 0 of a horizon map as umbrascope writes it: DDS, legacy header, FourCC 116
// (four 32-bit floats per texel). Any other DDS is refused, never converted.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "status/status.h"

namespace exporter {

struct HorizonMap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::span<const float> texels;        // red, green, blue, alpha per texel; packed rows, row 0 on top
    std::shared_ptr<const void> storage;  // what `texels` lies in: the file's mapping or memory of its own

    // The stored values of a texel inside the map.
    float red(std::uint32_t row, std::uint32_t column) const { return texels[index(row, column)]; }
    float green(std::uint32_t row, std::uint32_t column) const { return texels[index(row, column) + 1]; }

private:
    std::size_t index(std::uint32_t row, std::uint32_t column) const { return (std::size_t{row} * width + column) * 4; }
};

// A map of `width` x `height` texels held in memory; `texels` has 4 values a texel.
// Exhausted memory escapes as std::bad_alloc.
HorizonMap MapInMemory(std::uint32_t width, std::uint32_t height, std::vector<float> texels);

// Ok with level 0 as stored, bit for bit: the file mapped where the system allows
// (see ImageFile::mapWhole; ExitOnBusError guards a run against the file being cut
// short meanwhile), else read into memory. InvalidData when the file is not such a
// DDS, gives more mip levels than its size has, or is too short for every level its
// header gives (the smaller ones are not read), with the reason in `why` and, after
// the file's name, in the status; the file's open errors (NotFound, ...); OutOfMemory
// when level 0 would not fit. The size a header claims is checked against the file
// before anything is allocated. InvalidArgument for a null `path`, `map` or `why`;
// `map` is empty on any failure.
[[nodiscard]] status::Status ReadHorizonMap(const char* path, HorizonMap* map, std::string* why);

}  // namespace exporter
