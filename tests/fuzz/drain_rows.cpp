#include "drain_rows.h"

#include <algorithm>
#include <vector>

#include "fuzz_check.h"
#include "os/memory_budget.h"
#include "sample_convert.h"

using image::ImageInfo;
using image::SampleConverter;
using image::SampleType;

bool IsDecoderResult(status::Code hr) {
    return hr == status::Code::Ok || hr == status::Code::InvalidData || hr == status::Code::OutOfMemory;
}

void DrainRows(image::RowSource& source) {
    const ImageInfo info = source.info();
    FUZZ_CHECK(info.width > 0 && info.height > 0);
    FUZZ_CHECK(info.channels() >= 1 && info.channels() <= 4);
    FUZZ_CHECK(info.type == SampleType::F32 || (info.maxValue >= 1 && info.maxValue <= 65535));

    // Bands of one to three rows: decoders must cope with any count.
    constexpr std::uint32_t kMaxBand = 3;
    const std::size_t rowBytes = info.rowBytes();
    std::uint64_t bandBytes = 0;
    if (!os::CheckedMul(rowBytes, kMaxBand, &bandBytes) || !os::CheckFitsInMemory(bandBytes).ok()) return;
    std::vector<std::uint8_t> band(static_cast<std::size_t>(bandBytes));
    const SampleConverter converter(info);
    std::vector<float> values(std::size_t{info.width} * info.channels());
    std::vector<float> rgba(std::size_t{info.width} * 4);

    std::uint32_t count = 1;
    for (std::uint32_t row = 0; row < info.height; row += count) {
        count = std::min(count % kMaxBand + 1, info.height - row);
        const status::Code hr = source.readRows(band.data(), count).code;
        FUZZ_CHECK(IsDecoderResult(hr));
        if (hr != status::Code::Ok) return;
        for (std::uint32_t i = 0; i < count; ++i) {
            converter.toFloats(band.data() + i * rowBytes, info.width, values.data());
            image::ExpandToRgba(info.layout, values.data(), info.width, rgba.data());
        }
    }
}
