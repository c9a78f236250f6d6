#include "export/angle_maps.h"

#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "export/horizon_angle.h"
#include "platform/side_by_side_work.h"

namespace exporter {

namespace {

// Visits columns [first, end) of one direction and calls onTexel(i, kind, slope)
// for each texel: its kind once the height map has told 0.999 apart, and the
// recovered slope for Horizon, Ambiguous and Faint (0), else NaN; then rowDone(row).
// Columns are independent: each keeps its own highest ahead.
template <typename OnTexel, typename RowDone>
void VisitColumns(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                  Direction direction, std::uint32_t first, std::uint32_t end, const OnTexel& onTexel,
                  const RowDone& rowDone) {
    const float cellSize = terrain.terraSize / static_cast<float>(map.width);
    const float halfSize = static_cast<float>(terrain.terraSize * 0.5);
    // The highest elevation ahead in each column, so far: the rows are visited from
    // the far end, so that 0.999 can be told from a real horizon that rounds to it.
    std::vector<float> highestAhead(end - first, -std::numeric_limits<float>::infinity());
    const bool forward = direction == Direction::Forward;
    for (std::uint32_t k = 0; k < map.height; ++k) {
        const std::uint32_t r = forward ? map.height - 1 - k : k;
        const float y0 = static_cast<float>(r) * cellSize;
        for (std::uint32_t c = first; c < end; ++c) {
            const std::size_t i = std::size_t{r} * map.width + c;
            const float z0 = horizon::Elevation(terrain, heights[i]);
            float& highest = highestAhead[c - first];
            TexelKind kind = StoredKind(map, direction, r, c);
            if (kind == TexelKind::Open && highest > z0) kind = TexelKind::Horizon;
            double slope = std::numeric_limits<double>::quiet_NaN();
            if (kind == TexelKind::Horizon) {
                const RecoveredSlope s = RecoverSlope(StoredValue(map, direction, r, c), direction, y0, z0, halfSize);
                kind = s.kind;
                if (kind != TexelKind::Unfit) slope = s.slope;
            }
            onTexel(i, kind, slope);
            if (z0 > highest) highest = z0;
        }
        rowDone(r);
    }
}

// One direction into `out`, sized beforehand, its kinds counted.
void Fill(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain, Direction direction,
          DirectionAngles* out) {
    std::array<std::uint64_t, kTexelKinds> counted{};  // here, not through a pointer the stores may alias
    VisitColumns(map, heights, terrain, direction, 0, map.width, [&](std::size_t i, TexelKind kind, double slope) {
        if (kind == TexelKind::Horizon || kind == TexelKind::Ambiguous || kind == TexelKind::Faint)
            out->degrees[i] = static_cast<float>(SlopeDegrees(slope));
        out->kinds[i] = kind;
        ++counted[static_cast<std::size_t>(kind)];
    }, [](std::uint32_t) {});
    out->counts = counted;
}

void Allocate(std::size_t texels, DirectionAngles* out) {
    out->degrees.assign(texels, std::numeric_limits<float>::quiet_NaN());
    out->kinds.assign(texels, TexelKind::Unfit);
}

}  // namespace

HRESULT ComputeAngleMaps(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                         AngleMaps* angles) {
    if (heights == nullptr || angles == nullptr) return E_INVALIDARG;
    try {
        AngleMaps computed;
        computed.width = map.width;
        computed.height = map.height;
        const std::size_t texels = std::size_t{map.width} * map.height;
        // Each direction's memory first touched by the core that fills it.
        const auto whole = [&](Direction direction, DirectionAngles* out) {
            Allocate(texels, out);
            Fill(map, heights, terrain, direction, out);
        };
        RunSideBySide([&] { whole(Direction::Forward, &computed.forward); },
                      [&] { whole(Direction::Backward, &computed.backward); });
        *angles = std::move(computed);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void CastShadows(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                 Direction direction, double elevationDegrees, const ShadowRows& rows) {
    const AngleAbove above(elevationDegrees);
    const auto half = [&](std::uint32_t first, std::uint32_t end) {
        std::vector<std::uint8_t> shadows(end - first);
        VisitColumns(
            map, heights, terrain, direction, first, end,
            [&](std::size_t i, TexelKind kind, double slope) {
                shadows[i % map.width - first] =
                    kind == TexelKind::Tree ||
                    ((kind == TexelKind::Horizon || kind == TexelKind::Ambiguous) && above(slope));
            },
            [&](std::uint32_t row) { rows(row, first, end, shadows.data()); });
    };
    RunSideBySide([&] { half(0, map.width / 2); }, [&] { half(map.width / 2, map.width); });
}

}  // namespace exporter
