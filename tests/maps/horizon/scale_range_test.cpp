// The vector exponent range decides which exact route a column takes (128-bit
// checks, double checks, single rounding, or the chain): it must agree with the
// scalar one on every instruction set, for every kind of float and every tail.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "hwy/targets.h"
#include "maps/horizon/exact_scale.h"

namespace horizon {
namespace {

// Random floats biased towards the awkward ones: zeros of both signs, subnormals,
// values at the ends of the exponent range, infinities and NaN.
float Awkward(std::uint64_t& state) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const auto bits = static_cast<std::uint32_t>(state >> 32);
    const std::uint32_t sign = bits & 0x80000000u, mantissa = (bits >> 4) & 0x7FFFFF;
    switch (bits & 7) {
        case 0: return std::bit_cast<float>(sign);                              // zero
        case 1: return std::bit_cast<float>(sign | mantissa);                   // subnormal
        case 2: return std::bit_cast<float>(sign | 0x7F800000u | (mantissa & 1));  // infinity or NaN
        case 3: return std::bit_cast<float>(sign | 0x00800000u | mantissa);     // smallest normals
        case 4: return std::bit_cast<float>(sign | 0x7F000000u | mantissa);     // largest finite binade
        default: return std::bit_cast<float>(bits & 0xFF7FFFFFu);                 // any finite
    }
}

void ExpectSameRange(const std::vector<float>& v, const char* what, std::int64_t target) {
    const ScaleRange scalar = ScaleRangeOf(v.data(), v.size());
    const ScaleRange vector = ScaleRangeOfVectors(v.data(), v.size());
    SCOPED_TRACE(::testing::Message() << what << ", " << v.size() << " values on "
                                      << hwy::TargetName(target));
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

}  // namespace
}  // namespace horizon
