#pragma once
// The sample positions of both passes, built once per map.
#include <cstdint>
#include <vector>

#include "column_pass.h"

namespace horizon {

// Forward: y[k] = float(k) * cellSize. Backward: the reversed column sees
// y'[i] = -y[n-1-i]; negation is exact, so its differences are the backward ones.
class PassPositions {
public:
    PassPositions(std::uint32_t n, float cellSize, bool backward);
    PassPositions(const PassPositions&) = delete;
    PassPositions& operator=(const PassPositions&) = delete;
    const PassGeometry& geometry() const { return geometry_; }

private:
    std::vector<float> y_;
    std::vector<std::int64_t> yInt_;
    std::vector<double> yDouble_;
    PassGeometry geometry_;
};

}  // namespace horizon
