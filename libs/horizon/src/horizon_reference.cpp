// The plain loops: every sample of the column, nearest first. Slow (width x
// height^2) but obviously right; the oracle for every faster arrangement.
#include <cassert>
#include <cmath>

#include "horizon/horizon_kernel.h"

namespace horizon {

// Constants given as double promote the expressions they appear in; every named
// value is rounded to float where it is stored.
float ForwardValue(float y0, float z0, float yb, float zb, float halfSize) {
    const float s = (zb - z0) / (yb - y0);
    const float farRise = static_cast<float>(s * (kFarDistance - y0));
    const float q = static_cast<float>((z0 + farRise) / (kFarDistance - halfSize));
    const float q2 = q * q;
    const float sum = static_cast<float>(1.0 + q2);
    const float root = static_cast<float>(std::sqrt(static_cast<double>(sum)));
    return static_cast<float>(1.0 / root);
}

float BackwardValue(float y0, float z0, float yb, float zb, float halfSize) {
    const float s = (zb - z0) / (y0 - yb);
    const float farRise = static_cast<float>(s * (kFarDistance + y0));
    const float q = static_cast<float>((z0 + farRise) / (kFarDistance + halfSize));
    const float q2 = q * q;
    const float sum = static_cast<float>(1.0 + q2);
    const float root = static_cast<float>(std::sqrt(static_cast<double>(sum)));
    return static_cast<float>(1.0 / root);
}

void ComputeHorizonReference(const float* heights, float* out, std::uint32_t width, std::uint32_t height,
                             const HorizonSettings& settings, const HorizonProgress& progress) {
    assert((heights != nullptr && out != nullptr) || width == 0 || height == 0);
    const float cellSize = settings.terraSize / static_cast<float>(width);
    const float halfSize = static_cast<float>(settings.terraSize * 0.5);
    const auto at = [width](std::uint32_t row, std::uint32_t col) {
        return (static_cast<std::size_t>(row) * width + col) * 4;
    };
    std::uint64_t rowsDone = 0;

    for (std::uint32_t r = 0; r < height; ++r) {
        const float y0 = static_cast<float>(r) * cellSize;
        for (std::uint32_t c = 0; c < width; ++c) {
            const float z0 = Elevation(settings, heights[at(r, c)]);
            float best = 0.0f, yb = 0.0f, zb = 0.0f;
            bool found = false;
            for (std::uint32_t k = r + 1; k < height; ++k) {
                const float yk = static_cast<float>(k) * cellSize;
                const float zk = Elevation(settings, heights[at(k, c)]);
                if (zk > z0) {
                    const float slope = (zk - z0) / (yk - y0);
                    if (slope > best) best = slope, yb = yk, zb = zk, found = true;
                }
            }
            out[at(r, c)] = found ? ForwardValue(y0, z0, yb, zb, halfSize) : kOpenHorizonValue;
        }
        if (progress) progress(++rowsDone);
    }

    for (std::uint32_t r = height; r-- > 0;) {
        const float y0 = static_cast<float>(r) * cellSize;
        for (std::uint32_t c = width; c-- > 0;) {
            const float z0 = Elevation(settings, heights[at(r, c)]);
            float best = 0.0f, yb = 0.0f, zb = 0.0f;
            bool found = false;
            for (std::uint32_t k = r; k-- > 0;) {
                const float yk = static_cast<float>(k) * cellSize;
                const float zk = Elevation(settings, heights[at(k, c)]);
                if (zk > z0) {
                    const float slope = (zk - z0) / (y0 - yk);
                    if (slope > best) best = slope, yb = yk, zb = zk, found = true;
                }
            }
            out[at(r, c) + 1] = found ? BackwardValue(y0, z0, yb, zb, halfSize) : kOpenHorizonValue;
        }
        if (progress) progress(++rowsDone);
    }
}

}  // namespace horizon
