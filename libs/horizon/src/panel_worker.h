#pragma once
// Both passes over a panel of neighbouring columns: gathered into contiguous
// columns, computed, and scattered back into red and green.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "column_pass.h"
#include "horizon/horizon_kernel.h"

namespace horizon {

// Rows of a texture are far apart (a page or more): a panel's part of a row should
// fill whole cache lines, and rows are prefetched ahead since nothing else does.
constexpr std::uint32_t kPanelColumns = 32;
constexpr std::size_t kPrefetchRows = 12;

struct MapJob {
    const float* heights;
    float* out;
    std::uint32_t width;
    std::uint32_t height;
    HorizonSettings settings;
    float halfSize;
    const PassGeometry* forward;
    const PassGeometry* backward;
};

class PanelWorker {
public:
    explicit PanelWorker(const MapJob& job);
    // Columns [first, first + count), count <= kPanelColumns.
    void run(std::uint32_t first, std::uint32_t count);
    std::uint64_t samplesEvaluated() const { return evaluated_; }

private:
    const MapJob& job_;
    std::size_t stride_;  // floats from one column of the panel to the next
    ColumnScratch scratch_;
    std::vector<float> columns_;  // kPanelColumns x height elevations
    std::vector<float> red_;      // kPanelColumns x height values
    std::vector<float> green_;
    std::vector<float> reversed_;  // one column, reversed
    std::vector<std::int64_t> scaled_, scaledReversed_;
    std::vector<double> doubles_, doublesReversed_;
    std::vector<float> best_;
    std::vector<float> values_;
    std::uint64_t evaluated_ = 0;
};

}  // namespace horizon
