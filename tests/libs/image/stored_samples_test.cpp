// Signed, 32-bit unsigned, half and double samples to floats, against references
// computed another way.
#include "stored_samples.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using image::StoredSample;

namespace {

// The float nearest to n / d (0 < n <= d < 2^32), from integers alone: the 25
// leading bits of the quotient, then round half to even with the remainder as the
// sticky bit.
float NearestFloatOfRatio(std::uint64_t n, std::uint64_t d) {
    int shift = 24 + static_cast<int>(std::bit_width(d)) - static_cast<int>(std::bit_width(n));
    std::uint64_t q = (n << shift) / d;
    if (q < (1u << 24)) q = (n << ++shift) / d;
    const bool sticky = (n << shift) != q * d;
    std::uint64_t m = q >> 1;
    if ((q & 1) != 0 && (sticky || (m & 1) != 0)) ++m;
    return std::ldexp(static_cast<float>(m), 1 - shift);
}

float SignedReference(std::int64_t k, unsigned bits) {
    const std::uint64_t max = (std::uint64_t{1} << (bits - 1)) - 1;
    if (k == 0) return 0.0f;
    if (k < -static_cast<std::int64_t>(max)) return -1.0f;
    const float magnitude = NearestFloatOfRatio(static_cast<std::uint64_t>(k < 0 ? -k : k), max);
    return k < 0 ? -magnitude : magnitude;
}

TEST(StoredSamples, SignedRangeEndsAreMinusOneAndOne) {
    for (const unsigned bits : {8u, 16u, 32u}) {
        SCOPED_TRACE(bits);
        const std::int64_t max = (std::int64_t{1} << (bits - 1)) - 1;
        EXPECT_EQ(image::SignedToFloat(static_cast<std::int32_t>(-max - 1), bits), -1.0f);
        EXPECT_EQ(image::SignedToFloat(static_cast<std::int32_t>(-max), bits), -1.0f);
        EXPECT_EQ(image::SignedToFloat(static_cast<std::int32_t>(max), bits), 1.0f);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(image::SignedToFloat(0, bits)), 0u);  // +0, not -0
        EXPECT_EQ(image::SignedToFloat(1, bits), SignedReference(1, bits));
        EXPECT_EQ(image::SignedToFloat(-1, bits), -SignedReference(1, bits));
    }
}

// Up to 16 bits a double quotient rounded to float is exact: no k / d with
// d < 2^28 comes within a double's rounding of a midpoint between floats.
TEST(StoredSamples, EverySignedEightAndSixteenBitValueMatchesTheDoubleQuotient) {
    for (const unsigned bits : {8u, 16u}) {
        const std::int32_t max = (1 << (bits - 1)) - 1;
        int wrong = 0;
        for (std::int32_t k = -max - 1; k <= max; ++k) {
            const float expected = std::max(static_cast<float>(k / static_cast<double>(max)), -1.0f);
            if (image::SignedToFloat(k, bits) != expected && wrong++ < 5) ADD_FAILURE() << bits << " bits, k = " << k;
        }
        EXPECT_EQ(wrong, 0) << bits << " bits";
    }
}

// Values spread over the range, and those whose double quotient lands exactly on a
// midpoint between floats and then rounds the wrong way.
std::vector<std::uint32_t> ThirtyTwoBitSamples() {
    std::vector<std::uint32_t> values = {1,          2,           3,           129,         0x7FFFFFBF,
                                         0x7FFFFFFE, 0x80000000u, 0xFFFFFD7Fu, 0xFFFFFF7Fu, 0xFFFFFFFEu};
    for (int shift = 0; shift < 32; ++shift) {
        values.push_back((1u << shift) + 1);
        values.push_back(~(1u << shift));
    }
    std::uint32_t x = 2463534242u;
    for (int i = 0; i < 20000; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        values.push_back(x);
    }
    return values;
}

TEST(StoredSamples, ThirtyTwoBitIntegersAreRoundedOnce) {
    for (const std::uint32_t k : ThirtyTwoBitSamples()) {
        ASSERT_EQ(image::Unsigned32ToFloat(k), NearestFloatOfRatio(k, UINT32_MAX)) << "unsigned " << k;
        const auto s = static_cast<std::int32_t>(k);
        ASSERT_EQ(image::SignedToFloat(s, 32), SignedReference(s, 32)) << "signed " << s;
    }
    // (2^32 - 129) / (2^32 - 1) lies just below the midpoint between 1 - 2^-24 and 1.
    EXPECT_EQ(image::Unsigned32ToFloat(0xFFFFFF7Fu), 1.0f - std::ldexp(1.0f, -24));
    EXPECT_EQ(image::SignedToFloat(-0x7FFFFFBF, 32), -(1.0f - std::ldexp(1.0f, -24)));
    EXPECT_EQ(image::Unsigned32ToFloat(0), 0.0f);
    EXPECT_EQ(image::Unsigned32ToFloat(UINT32_MAX), 1.0f);
}

template <typename T>
std::vector<std::uint8_t> Native(const std::vector<T>& values) {
    std::vector<std::uint8_t> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

std::vector<std::uint32_t> Bits(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    for (const float v : values) bits.push_back(std::bit_cast<std::uint32_t>(v));
    return bits;
}

TEST(StoredSamples, RowsOfEveryKind) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        StoredSample kind;
        std::vector<std::uint8_t> native;
        std::vector<float> expected;
    };
    const std::vector<Case> cases = {
        {"S8",
         StoredSample::S8,
         Native<std::int8_t>({-128, -127, -1, 0, 127, 64}),
         {-1.0f, -1.0f, -1.0f / 127.0f, 0.0f, 1.0f, 64.0f / 127.0f}},
        {"S16",
         StoredSample::S16,
         Native<std::int16_t>({-32768, -32767, 32767, 16384, -3}),
         {-1.0f, -1.0f, 1.0f, 16384.0f / 32767.0f, -3.0f / 32767.0f}},
        {"S32",
         StoredSample::S32,
         Native<std::int32_t>({INT32_MIN, -INT32_MAX, INT32_MAX, 0}),
         {-1.0f, -1.0f, 1.0f, 0.0f}},
        {"U32",
         StoredSample::U32,
         Native<std::uint32_t>({0, UINT32_MAX, 0xFFFFFF7Fu, 0x80000000u}),
         {0.0f, 1.0f, 1.0f - std::ldexp(1.0f, -24), 0.5f}},
        // Zeros, one, the largest, both infinities, the smallest subnormal, the
        // largest subnormal, a NaN whose payload survives.
        {"F16",
         StoredSample::F16,
         Native<std::uint16_t>({0x0000, 0x8000, 0x3C00, 0x7BFF, 0x7C00, 0xFC00, 0x0001, 0x83FF, 0x7E01}),
         {0.0f, -0.0f, 1.0f, 65504.0f, inf, -inf, std::ldexp(1.0f, -24), -1023 * std::ldexp(1.0f, -24),
          std::bit_cast<float>(0x7FC02000u)}},
        // A tie rounds to even, just above it rounds up, past the range is infinite,
        // under it a signed zero, and a subnormal tie to the even subnormal.
        {"F64",
         StoredSample::F64,
         Native<double>({1.0 + std::ldexp(1.0, -24), 1.0 + std::ldexp(1.0, -24) + std::ldexp(1.0, -40), 1e300, -1e-300,
                         3 * std::ldexp(1.0, -150), -2.5}),
         {1.0f, 1.0f + std::ldexp(1.0f, -23), inf, -0.0f, std::ldexp(1.0f, -148), -2.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> values(c.expected.size(), 7.0f);
        image::StoredToFloats(c.kind, c.native.data(), values.size(), reinterpret_cast<std::uint8_t*>(values.data()));
        EXPECT_EQ(Bits(values), Bits(c.expected));
    }
}

}  // namespace
