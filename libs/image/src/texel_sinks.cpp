#include "texel_sinks.h"

#include <utility>
#include <vector>

#include "os/memory_budget.h"
#include "resample.h"
#include "sample_convert.h"

namespace image {

namespace {

// Same size: every texel converted on its own, unfiltered.
class CopySink final : public RowSink {
public:
    CopySink(const ImageInfo& info, TexelRows target)
        : info_(info),
          target_(std::move(target)),
          converter_(info),
          values_(std::size_t{info.width} * info.channels()) {}

    void putRows(const std::uint8_t* rows, std::uint32_t count) override {
        const std::size_t rowBytes = info_.rowBytes();
        for (std::uint32_t i = 0; i < count; ++i, ++nextRow_) {
            float* out = target_.row(nextRow_);
            if (info_.layout == ChannelLayout::Rgba) {
                converter_.toFloats(rows + i * rowBytes, info_.width, out);
            } else {
                converter_.toFloats(rows + i * rowBytes, info_.width, values_.data());
                ExpandToRgba(info_.layout, values_.data(), info_.width, out);
            }
            target_.done(nextRow_);
        }
    }

private:
    ImageInfo info_;
    TexelRows target_;
    SampleConverter converter_;
    std::vector<float> values_;
    std::uint32_t nextRow_ = 0;
};

}  // namespace

status::Status MakeTexelSink(const ImageInfo& info, std::uint32_t width, std::uint32_t height, float* texels,
                             std::unique_ptr<RowSink>* sink, bool redOnly, std::atomic<std::uint32_t>* loaded) {
    if (info.width == width && info.height == height) {
        std::uint64_t bytes = 0;
        const bool fits = os::CheckedMul(info.width, info.channels(), sizeof(float), &bytes);
        if (!os::CheckFitsInMemory(bytes + 65536 * sizeof(float), !fits).ok()) return status::OutOfMemory();
        *sink = std::make_unique<CopySink>(info, TexelRows(texels, width, redOnly, loaded));
        return status::Ok();
    }
    bool overflowed = false;
    const std::uint64_t bytes = ResamplerBytes(info, width, height, &overflowed);
    if (!os::CheckFitsInMemory(bytes, overflowed).ok()) return status::OutOfMemory();
    *sink = std::make_unique<Resampler>(info, width, height, TexelRows(texels, width, redOnly, loaded));
    return status::Ok();
}

}  // namespace image
