#include "export/angle_maps.h"

#include <cmath>
#include <limits>
#include <new>

#include "export/horizon_angle.h"

namespace exporter {

namespace {

void Fill(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain, Direction direction,
          DirectionAngles* out) {
    const std::size_t texels = std::size_t{map.width} * map.height;
    out->degrees.assign(texels, std::numeric_limits<float>::quiet_NaN());
    out->kinds.assign(texels, TexelKind::Unfit);
    out->counts.fill(0);
    const float cellSize = terrain.terraSize / static_cast<float>(map.width);
    const float halfSize = static_cast<float>(terrain.terraSize * 0.5);
    for (std::uint32_t r = 0; r < map.height; ++r) {
        const float y0 = static_cast<float>(r) * cellSize;
        for (std::uint32_t c = 0; c < map.width; ++c) {
            const std::size_t i = std::size_t{r} * map.width + c;
            TexelKind kind = StoredKind(map, direction, r, c);
            if (kind == TexelKind::Horizon) {
                const float z0 = horizon::Elevation(terrain, heights[i * 4]);
                const RecoveredSlope s = RecoverSlope(StoredValue(map, direction, r, c), direction, y0, z0, halfSize);
                kind = s.kind;
                if (kind != TexelKind::Unfit) out->degrees[i] = static_cast<float>(SlopeDegrees(s.slope));
            }
            out->kinds[i] = kind;
            ++out->counts[static_cast<std::size_t>(kind)];
        }
    }
}

}  // namespace

HRESULT ComputeAngleMaps(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                         AngleMaps* angles) {
    if (heights == nullptr || angles == nullptr) return E_INVALIDARG;
    try {
        AngleMaps computed;
        computed.width = map.width;
        computed.height = map.height;
        Fill(map, heights, terrain, Direction::Forward, &computed.forward);
        Fill(map, heights, terrain, Direction::Backward, &computed.backward);
        *angles = std::move(computed);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace exporter
