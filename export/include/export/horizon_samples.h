#pragma once
// The preview samples of stored horizon values without an arc cosine per texel.
//
// A value's sample, round(level * top) with the level of PreviewLevel, never falls as
// the value grows (acos falls, the rest keeps order). So it is the number of levels
// k in 1..top whose threshold, the least value that reaches k, lies at or below it.
// The thresholds are found once, by bisection on that very formula, and a texel's
// sample is a short search among them.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace exporter {

class HorizonSamples {
public:
    // `rangeDegrees` > 0, `bitDepth` 8 or 16. Exhausted memory escapes as std::bad_alloc.
    HorizonSamples(double rangeDegrees, int bitDepth);

    // The sample of a value in (0, 1] (StoredKind Horizon), equal to
    // Quantise's of PreviewLevel(Horizon, v, range) at shrink 1.
    std::uint16_t operator()(float v) const {
        // Smaller values lie in later buckets: the thresholds of later buckets are
        // all at or below v, those of earlier ones above, and v's own are compared.
        const std::uint32_t j = bucket(v), within = ahead_[j];
        const auto bits = std::bit_cast<std::uint32_t>(v);
        std::uint32_t k = ahead_[j + 1];
        // Most buckets hold one threshold at most: that one without a branch.
        k += static_cast<std::uint32_t>(k < within) & static_cast<std::uint32_t>(bits >= thresholds_[k + 1]);
        while (k < within && bits >= thresholds_[k + 1]) ++k;
        return static_cast<std::uint16_t>(k);
    }

    // The least value in (0, 1] whose sample is at least k (1 <= k <= top), or
    // above 1 when no value reaches k.
    float threshold(std::uint32_t k) const;

    double rangeDegrees() const { return range_; }
    int bitDepth() const { return bitDepth_; }

private:
    std::uint32_t bucket(float v) const {
        const float x = std::sqrt(1.0f - v) * scale_;
        const auto last = static_cast<std::uint32_t>(ahead_.size() - 2);
        return x < static_cast<float>(last) ? static_cast<std::uint32_t>(x) : last;
    }

    double range_;
    int bitDepth_;
    std::uint32_t top_;
    std::vector<std::uint32_t> thresholds_;  // bit patterns, [0] unused, then top + 1 beyond 1.0
    // Buckets by sqrt(1 - v), along which the levels lie nearly evenly (acos(v) is
    // about sqrt(2 (1 - v))); larger values come first. ahead_[j]: the number of
    // thresholds in bucket j and those after it; one more entry holds 0.
    std::vector<std::uint16_t> ahead_;
    float scale_ = 0.0f;
};

}  // namespace exporter
