#pragma once
// Runs the fast and the reference horizon computation on one map and reports
// the first texel whose red or green differs in any bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "horizon/horizon_fast.h"
#include "terrain/terrain_families.h"

namespace horizon::testing {

// Empty when red and green agree bit for bit and blue and alpha are untouched.
std::optional<std::string> FirstDifference(const std::vector<float>& heights, std::uint32_t width, std::uint32_t height,
                                           const HorizonSettings& settings, unsigned threads = 0);

// A terrain family's name as a parameterised test's: '_' for all but letters and digits.
std::string FamilyTestName(const ::testing::TestParamInfo<Terrain>& info);

}  // namespace horizon::testing
