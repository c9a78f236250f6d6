// The whole loader: format detection, the decoder it picks, the row pipeline and
// the resampler, at a target size chosen from the input's length so that copying,
// shrinking and enlarging all get their turn.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "image/load_image.h"
#include "memory_file.h"

namespace {

struct Size {
    std::uint32_t width;
    std::uint32_t height;
};

constexpr Size kSizes[] = {{16, 16}, {1, 1}, {7, 3}, {64, 64}, {3, 40}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MemoryFile input(data, size);
    const Size target = kSizes[size % (sizeof kSizes / sizeof kSizes[0])];
    std::vector<float> texels(std::size_t{target.width} * target.height * 4);
    const status::Code hr = image::LoadImageScaled(input.path(), target.width, target.height, texels.data()).code;
    FUZZ_CHECK(hr == status::Code::Ok || hr == status::Code::InvalidData || hr == status::Code::OutOfMemory);
    return 0;
}
