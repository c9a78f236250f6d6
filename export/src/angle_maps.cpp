#include "export/angle_maps.h"

#include <cmath>
#include <limits>
#include <new>
#include <vector>

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
    // The highest elevation ahead in each column, so far: the rows are visited from
    // the far end, so that 0.999 can be told from a real horizon that rounds to it.
    std::vector<float> highestAhead(map.width, -std::numeric_limits<float>::infinity());
    const bool forward = direction == Direction::Forward;
    for (std::uint32_t k = 0; k < map.height; ++k) {
        const std::uint32_t r = forward ? map.height - 1 - k : k;
        const float y0 = static_cast<float>(r) * cellSize;
        for (std::uint32_t c = 0; c < map.width; ++c) {
            const std::size_t i = std::size_t{r} * map.width + c;
            const float z0 = horizon::Elevation(terrain, heights[i * 4]);
            TexelKind kind = StoredKind(map, direction, r, c);
            if (kind == TexelKind::Open && highestAhead[c] > z0) kind = TexelKind::Horizon;
            if (kind == TexelKind::Horizon) {
                const RecoveredSlope s = RecoverSlope(StoredValue(map, direction, r, c), direction, y0, z0, halfSize);
                kind = s.kind;
                if (kind != TexelKind::Unfit) out->degrees[i] = static_cast<float>(SlopeDegrees(s.slope));
            }
            out->kinds[i] = kind;
            ++out->counts[static_cast<std::size_t>(kind)];
            if (z0 > highestAhead[c]) highestAhead[c] = z0;
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
