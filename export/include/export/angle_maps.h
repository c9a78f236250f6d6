#pragma once
// The horizon elevation angle of every texel in both directions, from a horizon map
// and the height map it was made from.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "export/horizon_map_file.h"
#include "export/texel_kind.h"
#include "maps/horizon/horizon_kernel.h"
#include "results/result_code.h"

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
// other value (the trees the run raised are not known here). With `only`, that
// direction alone; the other is left empty. S_OK with `angles` filled; E_INVALIDARG
// for a null `heights` or `angles`; E_OUTOFMEMORY, `angles` unchanged.
[[nodiscard]] HRESULT ComputeAngleMaps(const HorizonMap& map, const float* heights,
                                       const horizon::HorizonSettings& terrain, AngleMaps* angles,
                                       std::optional<Direction> only = std::nullopt);

}  // namespace exporter
