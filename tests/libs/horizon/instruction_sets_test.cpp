// The same bits on every instruction set the library was built for: each
// dispatch target in turn against the reference.
#include <gtest/gtest.h>

#include "compare_fast.h"
#include "hwy/targets.h"
#include "terrain/terrain_families.h"

namespace horizon::testing {
namespace {

class EveryTarget : public ::testing::Test {
protected:
    void TearDown() override { hwy::SetSupportedTargetsForTest(0); }
};

TEST_F(EveryTarget, MatchesReferenceOnEachDispatchTarget) {
    const auto targets = hwy::SupportedAndGeneratedTargets();
    ASSERT_FALSE(targets.empty());
    for (const std::int64_t target : targets) {
        hwy::SetSupportedTargetsForTest(target);
        for (const Terrain terrain : {Terrain::Fbm16, Terrain::FbmTrees, Terrain::Bowl, Terrain::RoundedRamp,
                                      Terrain::Terraces, Terrain::Specials}) {
            const auto heights = MakeHeights(terrain, 37, 131, 11);
            const auto difference = FirstDifference(heights, 37, 131, SettingsFor(terrain), 2);
            EXPECT_FALSE(difference) << hwy::TargetName(target) << ", " << Name(terrain)
                                     << " 37 x 131 seed 11: " << *difference;
        }
    }
}

}  // namespace
}  // namespace horizon::testing
