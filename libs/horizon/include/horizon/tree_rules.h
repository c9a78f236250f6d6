#pragma once
// What a tree is and what it does to the horizon map: read by the tool's tree
// steps, the export companion's texel kinds and the tests' own model of a run.

namespace horizon {

// A texel is a tree where the tree map's red value, widened, exceeds this.
constexpr double kTreeThreshold = 0.1;
// What a tree adds to the terrain, and both horizon values under it.
constexpr double kTreeHeightMetres = 4.0;
constexpr float kTreeShadeValue = 0.001f;

// Whether a tree map's red value marks a tree; any value, NaN (no tree) included.
inline bool IsTree(float treeValue) { return static_cast<double>(treeValue) > kTreeThreshold; }

}  // namespace horizon
