#include "texel_sinks.h"

#include <vector>

#include "platform/memory_budget.h"
#include "resample.h"
#include "sample_convert.h"

namespace image {

namespace {

// Same size: every texel converted on its own, unfiltered.
class CopySink final : public RowSink {
public:
    CopySink(const ImageInfo& info, float* texels)
        : info_(info), texels_(texels), converter_(info), values_(std::size_t{info.width} * info.channels()) {}

    void putRows(const std::uint8_t* rows, std::uint32_t count) override {
        const std::size_t rowBytes = info_.rowBytes();
        const std::size_t rowFloats = std::size_t{info_.width} * 4;
        for (std::uint32_t i = 0; i < count; ++i, ++nextRow_) {
            float* out = texels_ + nextRow_ * rowFloats;
            if (info_.layout == ChannelLayout::Rgba) {
                converter_.toFloats(rows + i * rowBytes, info_.width, out);
            } else {
                converter_.toFloats(rows + i * rowBytes, info_.width, values_.data());
                ExpandToRgba(info_.layout, values_.data(), info_.width, out);
            }
        }
    }

private:
    ImageInfo info_;
    float* texels_;
    SampleConverter converter_;
    std::vector<float> values_;
    std::size_t nextRow_ = 0;
};

}  // namespace

HRESULT MakeTexelSink(const ImageInfo& info, std::uint32_t width, std::uint32_t height, float* texels,
                      std::unique_ptr<RowSink>* sink) {
    if (info.width == width && info.height == height) {
        std::uint64_t bytes = 0;
        const bool fits = platform::CheckedMul(info.width, info.channels(), sizeof(float), &bytes);
        if (const HRESULT hr = platform::CheckFitsInMemory(bytes + 65536 * sizeof(float), !fits); hr != S_OK) return hr;
        *sink = std::make_unique<CopySink>(info, texels);
        return S_OK;
    }
    bool overflowed = false;
    const std::uint64_t bytes = ResamplerBytes(info, width, height, &overflowed);
    if (const HRESULT hr = platform::CheckFitsInMemory(bytes, overflowed); hr != S_OK) return hr;
    *sink = std::make_unique<Resampler>(info, width, height, texels);
    return S_OK;
}

}  // namespace image
