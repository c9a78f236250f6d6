#pragma once
// The height map lit by a sun in the row direction, with the shadows the horizon map
// casts: what the map is for, as a picture.
#include "export/angle_maps.h"
#include "export/grey_preview.h"
#include "horizon/horizon_kernel.h"

namespace exporter {

// Levels in [0, 1] for a sun `elevationDegrees` (in (0, 90]) above the horizon,
// ahead along increasing rows (Forward) or decreasing rows (Backward).
// Each texel: its slope lit as a matte surface, max(0, n . l), n the normal from
// central differences of the elevations (one-sided at the borders) with
// cell = TerraSize / width in both directions, l the unit vector to the sun; 0 (cast
// shadow) where that direction's horizon angle exceeds the sun's, or under a tree; 0
// for a non-finite height. The shadows are CastShadows's; `heights` and `terrain`
// as it takes them; `rows`, when given: the heights are still loading, each row is
// read once it and the next are in (the levels unspecified when loading fails).
// Exhausted memory escapes as std::bad_alloc. Works on both cores.
GreyLevels ShadedRelief(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                        Direction sun, double elevationDegrees, const LoadedRows* rows = nullptr);

// Quantise(ShadedRelief(...), shrink, bitDepth), without the levels when `shrink`
// is 0 or 1.
encode::GreyImage ShadePicture(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                       Direction sun, double elevationDegrees, std::uint32_t shrink, int bitDepth,
                       const LoadedRows* rows = nullptr);

}  // namespace exporter
