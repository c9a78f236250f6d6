// The vector exponent range decides which exact route a column takes (128-bit
// checks, double checks, single rounding, or the chain): it must agree with the
// scalar one on every instruction set, for every kind of float and every tail.
// Which origins may skip the proof rests on DifferencesExactFrom: it must never
// claim an exact difference that rounds.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "exact_scale.h"
#include "hwy/targets.h"

namespace horizon {
namespace {

// Random floats biased towards the awkward ones: zeros of both signs, subnormals,
// values at the ends of the exponent range, infinities and NaN.
float Awkward(std::uint64_t& state) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const auto bits = static_cast<std::uint32_t>(state >> 32);
    const std::uint32_t sign = bits & 0x80000000u, mantissa = (bits >> 4) & 0x7FFFFF;
    switch (bits & 7) {
        case 0: return std::bit_cast<float>(sign);                                 // zero
        case 1: return std::bit_cast<float>(sign | mantissa);                      // subnormal
        case 2: return std::bit_cast<float>(sign | 0x7F800000u | (mantissa & 1));  // infinity or NaN
        case 3: return std::bit_cast<float>(sign | 0x00800000u | mantissa);        // smallest normals
        case 4: return std::bit_cast<float>(sign | 0x7F000000u | mantissa);        // largest finite binade
        default: return std::bit_cast<float>(bits & 0xFF7FFFFFu);                  // any finite
    }
}

void ExpectSameRange(const std::vector<float>& v, const char* what, std::int64_t target) {
    const ScaleRange scalar = ScaleRangeOf(v.data(), v.size());
    const ScaleRange vector = ScaleRangeOfVectors(v.data(), v.size());
    SCOPED_TRACE(::testing::Message() << what << ", " << v.size() << " values on " << hwy::TargetName(target));
    EXPECT_EQ(vector.any, scalar.any);
    EXPECT_EQ(vector.finite, scalar.finite);
    if (scalar.any) {
        EXPECT_EQ(vector.lowExp, scalar.lowExp);
        EXPECT_EQ(vector.highExp, scalar.highExp);
    }
}

class ScaleRangeTest : public ::testing::Test {
protected:
    void TearDown() override { hwy::SetSupportedTargetsForTest(0); }
};

TEST_F(ScaleRangeTest, VectorsAgreeWithScalarOnEveryTarget) {
    for (const auto target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        std::uint64_t state = 3;
        // Every length up to a few vectors, so that the tail takes each size.
        for (std::size_t n = 0; n < 70; ++n) {
            for (int round = 0; round < 20; ++round) {
                std::vector<float> v(n);
                for (float& x : v) x = Awkward(state);
                ExpectSameRange(v, "awkward", target);
                // One extreme among ordinary values, anywhere in the column.
                for (float& x : v) x = static_cast<float>(state % 1000) * 0.25f, state = state * 3 + 1;
                if (n > 0) v[state % n] = Awkward(state);
                ExpectSameRange(v, "one awkward value", target);
            }
        }
        // Only zeros: nothing to scale.
        ExpectSameRange(std::vector<float>(40, -0.0f), "negative zeros", target);
    }
}

// Floats as integers in the order of their values, and back.
std::int64_t Ordinal(float f) {
    const auto bits = std::bit_cast<std::int32_t>(f);
    return bits < 0 ? -std::int64_t{bits & 0x7FFFFFFF} : bits;
}
float FromOrdinal(std::int64_t o) {
    return o < 0 ? std::bit_cast<float>(static_cast<std::uint32_t>(-o) | 0x80000000u)
                 : std::bit_cast<float>(static_cast<std::uint32_t>(o));
}

// A float in (lo, hi], uniform in order rather than value, so across binades.
float Between(float lo, float hi, std::uint64_t& state) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const std::int64_t a = Ordinal(lo), b = Ordinal(hi);
    return FromOrdinal(a + 1 + static_cast<std::int64_t>((state >> 20) % static_cast<std::uint64_t>(b - a)));
}

// v - z0 rounds nowhere: the error term of the exact two-sum is zero.
bool SubtractsExactly(float v, float z0) {
    const float s = v - z0, vPart = s + z0, zPart = s - vPart;
    return (v - vPart) + (-z0 - zPart) == 0.0f;
}

TEST(DifferencesExactFrom, HoldsOnlyWhereEveryRisingSampleSubtractsExactly) {
    std::uint64_t state = 11;
    int claimed = 0;
    for (int i = 0; i < 40000; ++i) {
        const float z0 = Awkward(state);
        if (!std::isfinite(z0) || z0 == std::numeric_limits<float>::max()) continue;
        // Anywhere above, or a few units in the last place around the edge of
        // either rule: 2^24 ulp above a positive z0, half a negative one.
        float highest = Between(z0, std::numeric_limits<float>::max(), state);
        const int nudge = static_cast<int>(state % 9) - 4;
        if (state % 3 == 0 && z0 > 0.0f) {
            highest = static_cast<float>(static_cast<double>(z0) + std::ldexp(1.0, std::ilogb(z0) + 1));
        } else if (state % 3 == 1 && z0 < 0.0f) {
            highest = z0 / 2.0f;
        }
        for (int k = 0; k < (nudge < 0 ? -nudge : nudge); ++k)
            highest = std::nextafter(highest, nudge < 0 ? -HUGE_VALF : HUGE_VALF);
        if (!(highest > z0) || !std::isfinite(highest) || !DifferencesExactFrom(z0, highest)) continue;
        ++claimed;
        EXPECT_TRUE(SubtractsExactly(highest, z0)) << z0 << " to " << highest;
        EXPECT_TRUE(SubtractsExactly(std::nextafter(z0, HUGE_VALF), z0)) << z0;
        for (int k = 0; k < 16; ++k) {
            const float v = Between(z0, highest, state);
            EXPECT_TRUE(SubtractsExactly(v, z0)) << z0 << " to " << v << " (highest " << highest << ")";
        }
    }
    EXPECT_GT(claimed, 8000);
}

}  // namespace
}  // namespace horizon
