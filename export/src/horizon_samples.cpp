#include "export/horizon_samples.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "export/grey_preview.h"

namespace exporter {

namespace {

// Positive floats order as their bit patterns.
constexpr std::uint32_t kOne = 0x3F800000;  // 1.0f

float Value(std::uint32_t bits) { return std::bit_cast<float>(bits); }

}  // namespace

HorizonSamples::HorizonSamples(double rangeDegrees, int bitDepth)
    : range_(rangeDegrees), bitDepth_(bitDepth), top_(bitDepth == 16 ? 65535 : 255), thresholds_(top_ + 2, kOne + 1) {
    const double top = top_;
    const auto sample = [&](std::uint32_t bits) {
        return SampleOf(static_cast<float>(PreviewLevel(TexelKind::Horizon, Value(bits), range_)), top);
    };
    const std::uint32_t most = sample(kOne);
    thresholds_[0] = 1;
    for (std::uint32_t k = 1; k <= most; ++k) {
        // Below the last threshold every value falls short of k; 1.0 reaches it.
        // Invariant: sample(a) < k (a = 0 is no value), sample(c) >= k.
        std::uint32_t a = thresholds_[k - 1] - 1, c = kOne;
        // Start near the value whose angle rounds to k, then gallop to a bracket.
        const double degrees = range_ * (1.0 - (k - 0.5) / top);
        const float guess = static_cast<float>(std::cos(degrees * (std::numbers::pi / 180.0)));
        const std::uint32_t g = std::clamp(guess > 0.0f ? std::bit_cast<std::uint32_t>(guess) : 1u, a + 1, c);
        if (sample(g) >= k) {
            c = g;
            for (std::uint32_t step = 1; c - a > 1; step *= 2) {
                const std::uint32_t t = c - std::min(step, c - a - 1);
                if (sample(t) < k) {
                    a = t;
                    break;
                }
                c = t;
            }
        } else {
            a = g;
            for (std::uint32_t step = 1; c - a > 1; step *= 2) {
                const std::uint32_t t = a + std::min(step, c - a - 1);
                if (sample(t) >= k) {
                    c = t;
                    break;
                }
                a = t;
            }
        }
        while (c - a > 1) {
            const std::uint32_t m = a + (c - a) / 2;
            (sample(m) >= k ? c : a) = m;
        }
        thresholds_[k] = c;
    }
    // Eight buckets a level: nearly all hold one threshold at most.
    const std::uint32_t buckets = 8 * (top_ + 1);
    const float widest = most > 0 ? std::sqrt(1.0f - Value(thresholds_[1])) : 0.0f;
    scale_ = widest > 0.0f ? static_cast<float>(buckets) / widest : 0.0f;
    ahead_.assign(buckets + 2, 0);
    for (std::uint32_t k = 1; k <= most; ++k) ++ahead_[bucket(Value(thresholds_[k]))];
    for (std::uint32_t j = buckets + 1; j-- > 0;) ahead_[j] = static_cast<std::uint16_t>(ahead_[j] + ahead_[j + 1]);
}

float HorizonSamples::threshold(std::uint32_t k) const { return Value(thresholds_[k]); }

}  // namespace exporter
