#pragma once
// The horizon computation on plain texel arrays, apart from textures and console.
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

namespace horizon {

// Any float values are taken, NaN and infinities too; an elevation that is not
// finite is taken as NaN (see Elevation).
struct HorizonSettings {
    float height;      // metres per unit of the height map's red value
    float heightZero;  // elevation in metres where the red value is 0
    float terraSize;   // extent of the map in metres along its width
};

// Called on the calling thread with the number of rows done so far, counted over
// both passes (2 x height in all), never decreasing; it must not throw. An empty
// one is not called.
using HorizonProgress = std::function<void(std::uint64_t rowsDone)>;

// Reads the red channel of `heights` (RGBA float texels, packed rows, width x
// height) and writes, per texel of `out` (same layout), the forward value into red
// and the backward value into green; blue and alpha are not touched.
//
// Per texel (r, c) and pass, with z = Elevation(settings, red) and
// y = float(k) * (terraSize / float(width)): the greatest float slope
// (zk - z0) / |yk - y0| over the samples of column c ahead of it (rows k > r forward,
// k < r backward) among those with zk > z0; if that slope is > 0 the value is
// 1 / sqrt(1 + q^2) from the line through the best sample (nearest first among
// equals), else 0.999. Each texel depends on its own column only.
//
// `heights` and `out` hold width x height texels each and must not overlap; either
// size may be 0 (nothing is read or written). Cannot fail: slow (width x height^2),
// the oracle for the fast arrangement.
void ComputeHorizonReference(const float* heights, float* out, std::uint32_t width, std::uint32_t height,
                             const HorizonSettings& settings, const HorizonProgress& progress);

// Constants and the value of a winning slope, shared by every implementation: the
// distance of the reference point on the row axis, and the value where nothing rises.
constexpr double kFarDistance = 900000.0;
constexpr float kOpenHorizonValue = 0.999f;

// The elevation in metres of a red value h. One that is not finite (h NaN or
// infinite, or beyond the float range once scaled) is NaN: no data, which rises
// above nothing and above which nothing rises, so that it is no obstacle and gets
// 0.999 itself. An infinity kept would shade its whole column (+) or give NaN (-).
inline float Elevation(const HorizonSettings& s, float h) {
    const float z = s.heightZero + s.height * h;
    return std::isfinite(z) ? z : std::numeric_limits<float>::quiet_NaN();
}

// The value of a texel at (y0, z0) whose best sample is (yb, zb), forward (yb > y0)
// or backward (yb < y0); halfSize is TerraSize / 2. Any floats; cannot fail.
float ForwardValue(float y0, float z0, float yb, float zb, float halfSize);
float BackwardValue(float y0, float z0, float yb, float zb, float halfSize);

}  // namespace horizon
