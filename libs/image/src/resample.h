#pragma once
// Separable resampling, each axis on its own: the area average when shrinking (every
// source texel weighs as much of the target texel as it covers), linear
// interpolation between texel centres when enlarging, a plain copy when the size
// stays. Sums are taken in double and rounded to float once.
#include <cstdint>
#include <vector>

#include "image/row_source.h"
#include "row_pipeline.h"
#include "sample_convert.h"
#include "texel_rows.h"

namespace image {

// The source texels one target texel reads along an axis: `count` texels from
// `first`, the first weighing `firstWeight`, the last `lastWeight`, the ones
// between `middleWeight`.
struct AxisTap {
    std::uint32_t first = 0;
    std::uint32_t count = 1;
    double firstWeight = 1.0;
    double middleWeight = 0.0;
    double lastWeight = 0.0;
};

std::vector<AxisTap> MakeAxisTaps(std::uint32_t sourceSize, std::uint32_t targetSize);

// Bytes of working memory a Resampler for these sizes allocates.
std::uint64_t ResamplerBytes(const ImageInfo& info, std::uint32_t width, std::uint32_t height, bool* overflowed);

class Resampler final : public RowSink {
public:
    Resampler(const ImageInfo& info, std::uint32_t width, std::uint32_t height, TexelRows target);

    void putRows(const std::uint8_t* rows, std::uint32_t count) override;

private:
    void putRow(const std::uint8_t* row);
    void filterRow(double* out) const;
    void emit(std::uint32_t targetRow, const double* values);

    ImageInfo info_;
    std::uint32_t width_;
    std::uint32_t height_;
    TexelRows target_;
    unsigned channels_;
    SampleConverter converter_;
    std::vector<AxisTap> columns_;
    std::vector<AxisTap> rows_;
    std::vector<float> sourceRow_;  // one source row as floats
    std::vector<double> filtered_;  // that row resampled across
    std::vector<double> slots_[2];  // shrinking: sums of open target rows; enlarging: the last two filtered rows
    std::uint32_t nextSourceRow_ = 0;
    std::uint32_t nextTargetRow_ = 0;
};

}  // namespace image
