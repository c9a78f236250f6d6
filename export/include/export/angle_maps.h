#pragma once
// The horizon elevation angle of every texel in both directions, from a horizon map
// and the height map it was made from.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "export/horizon_map_file.h"
#include "export/loaded_rows.h"
#include "export/texel_kind.h"
#include "horizon/horizon_kernel.h"
#include "status/status.h"

namespace exporter {

struct DirectionAngles {
    std::vector<float> degrees;  // Horizon, Ambiguous; 0 for Faint; NaN for the rest
    std::vector<TexelKind> kinds;
    std::array<std::uint64_t, kTexelKinds> counts{};  // texels of each kind
};

struct AngleMaps {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    DirectionAngles forward;   // from red
    DirectionAngles backward;  // from green
};

// `heights`: the height map loaded at the map's size, one float a texel (the red of
// LoadImageScaled's texels; map.width x map.height of them), `terrain`: the Height, HeightZero and
// TerraSize of the run. Positions and elevations are computed in floats exactly as
// the run computed them. A stored 0.999 is open only where nothing ahead in its
// column is higher: elsewhere it is a real horizon that rounded to it, read as any
// other value (the trees the run raised are not known here). `rows`, when given:
// the heights are still loading, each row is read once loaded. Ok with `angles`
// filled; InvalidArgument for a null `heights` or `angles`; Failed when loading
// failed; OutOfMemory; `angles` unchanged on failure. Works on both cores.
[[nodiscard]] status::Status ComputeAngleMaps(const HorizonMap& map, const float* heights,
                                              const horizon::HorizonSettings& terrain, AngleMaps* angles,
                                              const LoadedRows* rows = nullptr);

// Called once for each row, on one of two threads, with its shadows (shadows[c]: 1
// in shadow, 0 lit).
using ShadowRows = std::function<void(std::uint32_t row, const std::uint8_t* shadows)>;
// Called for a texel given as lit that proved in shadow, once the rows are done.
using LateShadow = std::function<void(std::size_t texel)>;

// The texels of `direction` in cast shadow under a sun `elevationDegrees` (in
// (0, 90]) above the horizon that way: under a tree, or of kind Horizon or
// Ambiguous with an angle above the sun's, exactly as ComputeAngleMaps's angles
// would tell, without computing them. Each row goes to `lit` as soon as it and the
// next have loaded (`rows` null: all have); the few stored 0.999 that the rows ahead
// put in shadow (only under a sun of about 3 degrees or lower) go to `late`
// afterwards. `heights` and `terrain` as ComputeAngleMaps takes them. False when
// loading failed, rows left out. Exhausted memory escapes as std::bad_alloc.
bool CastShadows(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                 Direction direction, double elevationDegrees, const LoadedRows* rows, const ShadowRows& lit,
                 const LateShadow& late);

}  // namespace exporter
