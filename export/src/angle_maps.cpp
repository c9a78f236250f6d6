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

// Columns [first, end) of one direction into `out`, sized beforehand; the kinds
// counted into `counts`. Columns are independent: each keeps its own highest ahead.
void Fill(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain, Direction direction,
          std::uint32_t first, std::uint32_t end, DirectionAngles* out,
          std::array<std::uint64_t, kTexelKinds>* counts) {
    const float cellSize = terrain.terraSize / static_cast<float>(map.width);
    const float halfSize = static_cast<float>(terrain.terraSize * 0.5);
    // The highest elevation ahead in each column, so far: the rows are visited from
    // the far end, so that 0.999 can be told from a real horizon that rounds to it.
    std::vector<float> highestAhead(end - first, -std::numeric_limits<float>::infinity());
    const bool forward = direction == Direction::Forward;
    std::array<std::uint64_t, kTexelKinds> counted{};  // here, not through a pointer the stores may alias
    for (std::uint32_t k = 0; k < map.height; ++k) {
        const std::uint32_t r = forward ? map.height - 1 - k : k;
        const float y0 = static_cast<float>(r) * cellSize;
        for (std::uint32_t c = first; c < end; ++c) {
            const std::size_t i = std::size_t{r} * map.width + c;
            const float z0 = horizon::Elevation(terrain, heights[i]);
            float& highest = highestAhead[c - first];
            TexelKind kind = StoredKind(map, direction, r, c);
            if (kind == TexelKind::Open && highest > z0) kind = TexelKind::Horizon;
            if (kind == TexelKind::Horizon) {
                const RecoveredSlope s = RecoverSlope(StoredValue(map, direction, r, c), direction, y0, z0, halfSize);
                kind = s.kind;
                if (kind != TexelKind::Unfit) out->degrees[i] = static_cast<float>(SlopeDegrees(s.slope));
            }
            out->kinds[i] = kind;
            ++counted[static_cast<std::size_t>(kind)];
            if (z0 > highest) highest = z0;
        }
    }
    *counts = counted;
}

void Allocate(std::size_t texels, DirectionAngles* out) {
    out->degrees.assign(texels, std::numeric_limits<float>::quiet_NaN());
    out->kinds.assign(texels, TexelKind::Unfit);
}

}  // namespace

HRESULT ComputeAngleMaps(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                         AngleMaps* angles, std::optional<Direction> only) {
    if (heights == nullptr || angles == nullptr) return E_INVALIDARG;
    try {
        AngleMaps computed;
        computed.width = map.width;
        computed.height = map.height;
        const std::size_t texels = std::size_t{map.width} * map.height;
        const std::uint32_t w = map.width;
        std::array<std::uint64_t, kTexelKinds> counts[2][2] = {};
        // Each direction's memory first touched by the core that fills it.
        const auto whole = [&](Direction direction, DirectionAngles* out, std::array<std::uint64_t, kTexelKinds>* n) {
            Allocate(texels, out);
            Fill(map, heights, terrain, direction, 0, w, out, n);
        };
        if (!only) {
            RunSideBySide([&] { whole(Direction::Forward, &computed.forward, &counts[0][0]); },
                          [&] { whole(Direction::Backward, &computed.backward, &counts[1][0]); });
        } else {
            // One direction: its columns in two halves.
            DirectionAngles* out = *only == Direction::Forward ? &computed.forward : &computed.backward;
            auto* n = counts[*only == Direction::Forward ? 0 : 1];
            Allocate(texels, out);
            RunSideBySide([&] { Fill(map, heights, terrain, *only, 0, w / 2, out, &n[0]); },
                          [&] { Fill(map, heights, terrain, *only, w / 2, w, out, &n[1]); });
        }
        for (std::size_t k = 0; k < kTexelKinds; ++k) {
            computed.forward.counts[k] = counts[0][0][k] + counts[0][1][k];
            computed.backward.counts[k] = counts[1][0][k] + counts[1][1][k];
        }
        *angles = std::move(computed);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace exporter
