#pragma once
// The two steps that combine a map with the tree map.
#include "results/result_code.h"

namespace maps {

// A texel is a tree where the tree map's red value, widened, exceeds this.
constexpr double kTreeThreshold = 0.1;
constexpr double kTreeHeightMetres = 4.0;
constexpr float kTreeShadeValue = 0.001f;

inline bool IsTree(float treeValue) { return static_cast<double>(treeValue) > kTreeThreshold; }

}  // namespace maps

// Raises the height map's red, green and blue by TreeHeightMetres / Height under
// every tree. 0, or E_FAIL when a lock fails.
[[nodiscard]] HRESULT MixHeightMapAndTreeMap();

// Sets both horizon values of the output to TreeShadeValue under every tree.
// 0, or E_FAIL when a lock fails.
[[nodiscard]] HRESULT MixHorizonMapAndTreeMap();
