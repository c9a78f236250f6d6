#pragma once
// The two steps that combine a map with the tree map.
#include "results/result_code.h"

namespace maps {

// A texel is a tree where the tree map's red value, widened, exceeds this.
constexpr double kTreeThreshold = 0.1;
// What a tree adds to the terrain, and both horizon values under it.
constexpr double kTreeHeightMetres = 4.0;
constexpr float kTreeShadeValue = 0.001f;

// Whether a tree map's red value marks a tree; any value, NaN (no tree) included.
inline bool IsTree(float treeValue) { return static_cast<double>(treeValue) > kTreeThreshold; }

}  // namespace maps

// The tree steps need the textures LoadTextures made, of one size, none of them
// locked, and the settings validated; they print their title, dots and "OK\n", or
// the failed lock's error line.

// Raises the height map's red, green and blue by kTreeHeightMetres / Height under
// every tree. 0, or E_FAIL when a lock fails; nothing is changed then and nothing
// stays locked.
[[nodiscard]] HRESULT MixHeightMapAndTreeMap();

// Sets both horizon values of the output to kTreeShadeValue under every tree.
// 0, or E_FAIL when a lock fails, as above.
[[nodiscard]] HRESULT MixHorizonMapAndTreeMap();
