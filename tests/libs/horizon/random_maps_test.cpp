// Thousands of small random maps of every family, under ordinary and extreme
// settings: the fast computation must give the reference's bits everywhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "compare_fast.h"
#include "terrain/terrain_families.h"

namespace horizon::testing {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// Ordinary settings first; then scales that push positions and elevations to the
// ends of the float range (cell size subnormal or 0, positions overflowing,
// differences overflowing or subnormal) and signs the tool never validates.
constexpr HorizonSettings kSettings[] = {
    {100.0f, 0.0f, 5000.0f}, {-100.0f, 0.0f, 5000.0f},  {100.0f, -1000.0f, 5000.0f}, {100.0f, -50.0f, 5000.0f},
    {37.5f, 12.25f, 1e30f},  {100.0f, 0.0f, 1e-30f},    {100.0f, 0.0f, 1e-43f},      {100.0f, 0.0f, 3e38f},
    {1e37f, 0.0f, 5000.0f},  {1e-30f, 1e-35f, 5000.0f}, {0.0f, 5.0f, 5000.0f},       {100.0f, 0.0f, -5000.0f},
    {3.0f, -1.5f, 0.001f},   {100.0f, 0.0f, kInf},      {100.0f, -kInf, 5000.0f},    {1e-3f, 1e30f, 5000.0f},
};
constexpr int kOrdinary = 4;

std::uint64_t Mix(std::uint64_t x) {
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

std::uint32_t Side(std::uint64_t bits) {
    switch (bits % 8) {
        case 0: return 1;
        case 1: return 2;
        default: return 1 + static_cast<std::uint32_t>((bits >> 3) % 64);
    }
}

class RandomMaps : public ::testing::TestWithParam<Terrain> {};

TEST_P(RandomMaps, MatchReferenceBitForBit) {
    const Terrain terrain = GetParam();
    int failures = 0;
    for (std::uint64_t seed = 1; seed <= 800 && failures < 5; ++seed) {
        const std::uint64_t bits = Mix(seed * 131 + static_cast<std::uint64_t>(terrain));
        const std::uint32_t width = Side(bits), height = Side(bits >> 16);
        // Mostly the family's own settings or other ordinary ones, one in three extreme.
        const std::uint64_t pick = (bits >> 32) % 24;
        const HorizonSettings settings = pick < 8    ? SettingsFor(terrain)
                                         : pick < 16 ? kSettings[pick % kOrdinary]
                                                     : kSettings[kOrdinary + pick % (std::size(kSettings) - kOrdinary)];
        const auto heights = MakeHeights(terrain, width, height, seed);
        const unsigned threads = 1 + static_cast<unsigned>(seed % 3);
        if (const auto difference = FirstDifference(heights, width, height, settings, threads)) {
            ++failures;
            ADD_FAILURE() << Name(terrain) << " seed " << seed << " size " << width << " x " << height << " settings {"
                          << settings.height << ", " << settings.heightZero << ", " << settings.terraSize
                          << "} threads " << threads << ": " << *difference;
        }
    }
}

// The same with a pit of a tiny elevation in every column: the scaled column
// then needs more than 52 bits (within the hull's budget), so the proof runs on
// 128-bit products instead of doubles. Elevation 0 must stay at height 0 for
// the pit to stay tiny.
TEST_P(RandomMaps, MatchReferenceThroughThe128BitChecks) {
    constexpr HorizonSettings kPitSettings[] = {
        {100.0f, 0.0f, 5000.0f}, {-100.0f, 0.0f, 5000.0f}, {100.0f, 0.0f, 4097.0f}, {3.0f, 0.0f, 0.001f}};
    const Terrain terrain = GetParam();
    int failures = 0;
    for (std::uint64_t seed = 1; seed <= 400 && failures < 5; ++seed) {
        const std::uint64_t bits = Mix(seed * 977 + static_cast<std::uint64_t>(terrain));
        const std::uint32_t width = Side(bits), height = Side(bits >> 16);
        const HorizonSettings settings = kPitSettings[(bits >> 32) % std::size(kPitSettings)];
        auto heights = MakeHeights(terrain, width, height, seed);
        for (std::uint32_t c = 0; c < width; ++c)
            heights[(std::size_t{(c * 7 + seed) % height} * width + c) * 4] = 1e-10f;
        if (const auto difference = FirstDifference(heights, width, height, settings, 1)) {
            ++failures;
            ADD_FAILURE() << Name(terrain) << " with pits, seed " << seed << " size " << width << " x " << height
                          << " settings {" << settings.height << ", " << settings.heightZero << ", "
                          << settings.terraSize << "}: " << *difference;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, RandomMaps, ::testing::ValuesIn(kAllTerrains), FamilyTestName);

}  // namespace
}  // namespace horizon::testing
