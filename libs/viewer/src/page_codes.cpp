#include <algorithm>
#include <cmath>

#include "viewer/page_data.h"

namespace viewer {

PageGrid GridFor(std::uint32_t width, std::uint32_t height, std::uint32_t maxSize) {
    width = std::max(width, 1u);
    height = std::max(height, 1u);
    maxSize = std::max(maxSize, 1u);
    const std::uint32_t longest = std::max(width, height);
    const std::uint32_t stride = longest / maxSize + (longest % maxSize != 0 ? 1 : 0);
    return {(width - 1) / stride + 1, (height - 1) / stride + 1, stride};
}

std::uint16_t AngleCode(double degrees) {
    const double held = std::isnan(degrees) ? 0 : std::clamp(degrees, kLowestAngle, kHighestAngle);
    return static_cast<std::uint16_t>(
        std::lround((held - kLowestAngle) * kAngleCodeFull / (kHighestAngle - kLowestAngle)));
}

bool ShadowedAt(std::uint16_t code, double elevationDegrees) {
    // The page computes the same expression in doubles, so both agree bit for bit.
    if (code == NoAngleCode(kTreeKind)) return true;
    return code <= kAngleCodeFull &&
           (elevationDegrees - kLowestAngle) * kAngleCodeFull / (kHighestAngle - kLowestAngle) < code;
}

}  // namespace viewer
