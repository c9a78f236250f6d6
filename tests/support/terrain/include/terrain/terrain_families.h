#pragma once
// Generated height maps for the horizon tests and benchmarks: natural terrain,
// exact geometric shapes, and adversarial values.
#include <cstdint>
#include <string_view>
#include <vector>

#include "horizon/horizon_kernel.h"

namespace horizon::testing {

enum class Terrain {
    Fbm8,         // fBm quantised to 8 bits
    Fbm16,        // fBm quantised to 16 bits
    FbmTrees,     // 8-bit fBm with the tree raise on random texels
    Plane,        // exact tilted plane
    Bowl,         // paraboloid
    Ridge,        // exact roof along the row axis
    Ramp,         // exact ramp crossing elevation 0 (use with ZeroCrossing settings)
    RoundedRamp,  // float-rounded ramp crossing elevation 0
    Terraces,     // few repeated values, many equal slopes
    Spikes,       // alternating high and low samples
    Specials,     // fBm with NaN, infinities, signed zeros and subnormals sprinkled in
    Subnormal,    // values near the bottom of the float range
};

inline constexpr Terrain kAllTerrains[] = {Terrain::Fbm8,     Terrain::Fbm16,  Terrain::FbmTrees, Terrain::Plane,
                                           Terrain::Bowl,     Terrain::Ridge,  Terrain::Ramp,     Terrain::RoundedRamp,
                                           Terrain::Terraces, Terrain::Spikes, Terrain::Specials, Terrain::Subnormal};

// The family's name, for test and benchmark labels; never empty.
std::string_view Name(Terrain terrain);

// The usual settings: Height 100, HeightZero 0, TerraSize 5000.
constexpr HorizonSettings kDefaultSettings{100.0f, 0.0f, 5000.0f};

// RGBA texels (only red is set; green, blue and alpha hold a marker), packed rows;
// the same seed gives the same map. Any size. Exhausted memory escapes as
// std::bad_alloc.
std::vector<float> MakeHeights(Terrain terrain, std::uint32_t width, std::uint32_t height, std::uint64_t seed,
                               float treeHeightScale = 100.0f);

// Settings suited to the family (the ramps cross elevation 0 with HeightZero -50).
HorizonSettings SettingsFor(Terrain terrain);

}  // namespace horizon::testing
