// Long single columns where exactness is hardest: samples whose float slopes tie
// or differ in the last bit over thousands of rows, long collinear chains, and
// non-finite values between them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "compare_fast.h"
#include "terrain/terrain_families.h"

namespace horizon::testing {
namespace {

constexpr std::uint32_t kRows = 3000;

std::vector<float> Column(std::uint32_t rows, auto value) {
    std::vector<float> texels(std::size_t{rows} * 4, 0.0f);
    for (std::uint32_t r = 0; r < rows; ++r) texels[std::size_t{r} * 4] = value(r);
    return texels;
}

void ExpectSame(const std::vector<float>& column, const HorizonSettings& settings, const char* what) {
    const auto rows = static_cast<std::uint32_t>(column.size() / 4);
    const auto difference = FirstDifference(column, 1, rows, settings);
    EXPECT_FALSE(difference) << what << ": " << *difference;
}

TEST(LongColumns, LineWithLastBitNoiseKeepsTheExactWinner) {
    // Every sample lies on one line up to a unit in the last place, so the float
    // slopes of hundreds of samples fall within rounding of each other.
    std::uint64_t state = 12345;
    for (const float slope : {0.37f, 3.0f, -0.25f}) {
        const auto column = Column(kRows, [&](std::uint32_t r) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            const float exact = static_cast<float>(0.5 + slope * r * 1e-3);
            const int step = static_cast<int>(state >> 62) - 1;
            return step < 0 ? std::nextafter(exact, -1.0f) : step > 0 ? std::nextafter(exact, 2.0f) : exact;
        });
        ExpectSame(column, kDefaultSettings, "noisy line");
        ExpectSame(column, {100.0f, -50.0f, 4097.0f}, "noisy line through 0, inexact cell size");
    }
}

TEST(LongColumns, ExactRampsTieEverywhere) {
    ExpectSame(Column(kRows, [](std::uint32_t r) { return static_cast<float>(r) * 0x1.0p-12f - 0.25f; }),
               {100.0f, 0.0f, 5000.0f}, "exact ramp through 0");
    ExpectSame(Column(kRows, [](std::uint32_t r) { return static_cast<float>(r) * 0x1.0p-12f - 0.25f; }),
               {100.0f, 0.0f, 3001.0f}, "exact ramp, rounded positions");
    ExpectSame(Column(kRows, [](std::uint32_t r) { return static_cast<float>(r) / 2999.0f - 0.5f; }),
               {100.0f, 0.0f, 5000.0f}, "rounded ramp through 0");
    ExpectSame(Column(kRows, [](std::uint32_t r) { return -static_cast<float>(r % 700) / 1000.0f; }), kDefaultSettings,
               "saw tooth");
}

TEST(LongColumns, CurvesWithLongHullChains) {
    ExpectSame(Column(kRows, [](std::uint32_t r) { return static_cast<float>(std::sqrt(r + 1.0)); }), kDefaultSettings,
               "concave");
    ExpectSame(Column(kRows, [](std::uint32_t r) { return static_cast<float>((r - 1500.0) * (r - 1500.0) * 1e-6); }),
               kDefaultSettings, "bowl");
    ExpectSame(Column(kRows, [](std::uint32_t r) { return static_cast<float>(std::sin(r * 0.01) * (1 + r % 3)); }),
               kDefaultSettings, "waves");
}

TEST(LongColumns, NonFiniteValuesInsideLongColumns) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (const float special : {nan, inf, -inf, 1e38f, 1e-41f}) {
        const auto column = Column(kRows, [&](std::uint32_t r) {
            return r % 997 == 500 ? special : static_cast<float>(std::sqrt(r + 1.0)) * 0.1f;
        });
        ExpectSame(column, kDefaultSettings, "special value inside a concave column");
    }
    ExpectSame(Column(kRows, [&](std::uint32_t r) { return r % 2 ? nan : static_cast<float>(r); }), kDefaultSettings,
               "every other sample NaN");
}

TEST(LongColumns, ElevationsSpanningManyBinades) {
    // Scaled to integers these need more than 52 bits (the checks go through 128-bit
    // products) or more than the hull's budget (the chain of record highs).
    for (const float tiny : {3e-5f, 1e-12f}) {
        const auto column = Column(kRows, [&](std::uint32_t r) {
            return r % 50 == 7 ? tiny * static_cast<float>(1 + r % 7) : static_cast<float>(std::sqrt(r + 1.0)) * 700.0f;
        });
        ExpectSame(column, {1.0f, 0.0f, 5000.0f}, "large and tiny elevations");
        ExpectSame(column, {1.0f, 0.0f, 3001.0f}, "large and tiny elevations, rounded positions");
    }
}

TEST(LongColumns, WideTextureOfLongColumnsOnSeveralThreads) {
    const std::uint32_t width = 40, height = 700;
    for (const Terrain terrain : {Terrain::Fbm8, Terrain::RoundedRamp, Terrain::Bowl, Terrain::Specials}) {
        const auto heights = MakeHeights(terrain, width, height, 99);
        const auto difference = FirstDifference(heights, width, height, SettingsFor(terrain), 2);
        EXPECT_FALSE(difference) << Name(terrain) << ": " << *difference;
    }
}

}  // namespace
}  // namespace horizon::testing
