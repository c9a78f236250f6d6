#include "raw_decoder.h"

#include <bit>
#include <cmath>
#include <string_view>

#include "bad_data.h"
#include "image/image_file.h"
#include "packed_rows.h"

namespace image {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (c != b[i]) return false;
    }
    return true;
}

// The largest n with n * n <= count.
std::uint64_t SquareRootFloor(std::uint64_t count) {
    auto n = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(count)));
    while (n > 0 && n * n > count) --n;
    while ((n + 1) * (n + 1) <= count) ++n;
    return n;
}

}  // namespace

RawSample RawSampleFromName(const char* path) {
    const std::string_view name(path);
    const std::size_t slash = name.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    if (dot == std::string_view::npos) return RawSample::None;
    const std::string_view extension = base.substr(dot + 1);
    if (SameIgnoringCase(extension, "raw") || SameIgnoringCase(extension, "r16")) return RawSample::U16;
    if (SameIgnoringCase(extension, "r32")) return RawSample::F32;
    if (SameIgnoringCase(extension, "r8")) return RawSample::U8;
    return RawSample::None;
}

status::Status OpenRawSource(ImageFile& file, RawSample sample, std::unique_ptr<RowSource>* source) {
    ImageInfo info;
    info.layout = ChannelLayout::Grey;
    switch (sample) {
        case RawSample::U8:
            info.type = SampleType::U8;
            info.maxValue = 255;
            break;
        case RawSample::U16:
            info.type = SampleType::U16;
            info.maxValue = 65535;
            break;
        case RawSample::F32: info.type = SampleType::F32; break;
        case RawSample::None: return BadData("not an image format that is read");
    }
    // The size is all there is to check: it must be a whole square of samples.
    const unsigned bytes = SampleBytes(info.type);
    const std::uint64_t count = file.size() / bytes;
    const std::uint64_t n = SquareRootFloor(count);
    if (file.size() % bytes != 0 || n == 0 || n * n != count || n > UINT32_MAX)
        return BadData("RAW height map of " + std::to_string(file.size()) + " bytes is no square of " +
                       std::to_string(bytes) + "-byte samples");
    info.width = static_cast<std::uint32_t>(n);
    info.height = static_cast<std::uint32_t>(n);
    file.seek(0);
    *source = std::make_unique<PackedRowSource>(file, info, std::endian::little, "RAW");
    return status::Ok();
}

}  // namespace image
