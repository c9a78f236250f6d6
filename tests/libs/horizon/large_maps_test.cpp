// 512 x 512 maps of every family against the reference.
#include <gtest/gtest.h>

#include "compare_fast.h"
#include "terrain/terrain_families.h"

namespace horizon::testing {
namespace {

class LargeMaps : public ::testing::TestWithParam<Terrain> {};

TEST_P(LargeMaps, MatchReferenceBitForBit) {
    const Terrain terrain = GetParam();
    const auto heights = MakeHeights(terrain, 512, 512, 2024);
    const auto difference = FirstDifference(heights, 512, 512, SettingsFor(terrain));
    EXPECT_FALSE(difference) << Name(terrain) << " 512 x 512 seed 2024: " << *difference;
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, LargeMaps, ::testing::ValuesIn(kAllTerrains), FamilyTestName);

}  // namespace
}  // namespace horizon::testing
