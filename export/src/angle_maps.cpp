#include "export/angle_maps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "export/horizon_angle.h"
#include "os/side_by_side_work.h"

namespace exporter {

namespace {

constexpr double kNoSlope = std::numeric_limits<double>::quiet_NaN();

// What a texel's stored value and elevation tell while the column ahead is not yet
// known: the kind and slope (Horizon, Ambiguous and Faint: 0), and whether it
// stored 0.999, which is open unless something ahead rises above it.
struct Reading {
    TexelKind kind;
    double slope;
    bool openIfNoneAhead;
};

// The rows' own geometry, as the run computed it.
struct RowGeometry {
    float cellSize, halfSize;
    RowGeometry(const HorizonMap& map, const horizon::HorizonSettings& terrain)
        : cellSize(terrain.terraSize / static_cast<float>(map.width)),
          halfSize(static_cast<float>(terrain.terraSize * 0.5)) {}
    float y0(std::uint32_t row) const { return static_cast<float>(row) * cellSize; }
};

Reading Read(const HorizonMap& map, Direction direction, std::uint32_t r, std::uint32_t c, float y0, float z0,
             float halfSize) {
    TexelKind kind = StoredKind(map, direction, r, c);
    const bool open = kind == TexelKind::Open;
    if (!open && kind != TexelKind::Horizon) return {kind, kNoSlope, false};
    const RecoveredSlope s = RecoverSlope(StoredValue(map, direction, r, c), direction, y0, z0, halfSize);
    return {s.kind, s.kind == TexelKind::Unfit ? kNoSlope : s.slope, open};
}

// Visits the rows of `direction` from its far end, up to the last for which
// row(r, highest) returns true, highest[c] the highest elevation ahead of (r, c).
template <typename Row>
void SweepAhead(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                Direction direction, const Row& row) {
    std::vector<float> highest(map.width, -std::numeric_limits<float>::infinity());
    for (std::uint32_t k = 0; k < map.height; ++k) {
        const std::uint32_t r = direction == Direction::Forward ? map.height - 1 - k : k;
        if (!row(r, highest.data())) return;
        const float* z = heights + std::size_t{r} * map.width;
        for (std::uint32_t c = 0; c < map.width; ++c) {
            const float z0 = horizon::Elevation(terrain, z[c]);
            if (z0 > highest[c]) highest[c] = z0;
        }
    }
}

// Marks a kind whose 0.999 waits for the column ahead.
constexpr std::uint8_t kUntold = 0x80;

void Allocate(std::size_t texels, DirectionAngles* out) {
    out->degrees.assign(texels, std::numeric_limits<float>::quiet_NaN());
    out->kinds.assign(texels, TexelKind::Unfit);
}

// One row of one direction, counted into `counts`; a stored 0.999 is read as a
// horizon and marked until the column ahead is known.
void FillRow(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
             const RowGeometry& geometry, Direction direction, std::uint32_t r, DirectionAngles* out,
             std::array<std::uint64_t, kTexelKinds>* counts) {
    const float y0 = geometry.y0(r);
    auto* kinds = reinterpret_cast<std::uint8_t*>(out->kinds.data());
    for (std::uint32_t c = 0; c < map.width; ++c) {
        const std::size_t i = std::size_t{r} * map.width + c;
        const Reading t = Read(map, direction, r, c, y0, horizon::Elevation(terrain, heights[i]), geometry.halfSize);
        if (t.kind == TexelKind::Horizon || t.kind == TexelKind::Ambiguous || t.kind == TexelKind::Faint)
            out->degrees[i] = static_cast<float>(SlopeDegrees(t.slope));
        kinds[i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(t.kind) | (t.openIfNoneAhead ? kUntold : 0));
        ++(*counts)[static_cast<std::size_t>(t.kind)];
    }
}

// Each marked 0.999 told: open where nothing ahead rises above it.
void TellOpen(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain, Direction direction,
              DirectionAngles* out) {
    auto* kinds = reinterpret_cast<std::uint8_t*>(out->kinds.data());
    SweepAhead(map, heights, terrain, direction, [&](std::uint32_t r, const float* highest) {
        for (std::uint32_t c = 0; c < map.width; ++c) {
            const std::size_t i = std::size_t{r} * map.width + c;
            if ((kinds[i] & kUntold) == 0) continue;
            kinds[i] &= ~kUntold;
            if (highest[c] > horizon::Elevation(terrain, heights[i])) continue;
            --out->counts[kinds[i]];
            ++out->counts[static_cast<std::size_t>(TexelKind::Open)];
            kinds[i] = static_cast<std::uint8_t>(TexelKind::Open);
            out->degrees[i] = std::numeric_limits<float>::quiet_NaN();
        }
        return true;
    });
}

}  // namespace

status::Status ComputeAngleMaps(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                                AngleMaps* angles, const LoadedRows* rows) {
    if (heights == nullptr || angles == nullptr) return status::Fail(status::Code::InvalidArgument, {});
    try {
        AngleMaps computed;
        computed.width = map.width;
        computed.height = map.height;
        const std::size_t texels = std::size_t{map.width} * map.height;
        Allocate(texels, &computed.forward);
        Allocate(texels, &computed.backward);
        const RowGeometry geometry(map, terrain);
        std::array<std::uint64_t, kTexelKinds> counts[2][2] = {};  // [worker][direction]
        const bool loaded = ForLoadedRows(map.height, rows, 0, [&](std::uint32_t r, int worker) {
            FillRow(map, heights, terrain, geometry, Direction::Forward, r, &computed.forward, &counts[worker][0]);
            FillRow(map, heights, terrain, geometry, Direction::Backward, r, &computed.backward, &counts[worker][1]);
        });
        if (!loaded) return status::Fail(status::Code::Failed, "the height map did not load");
        for (std::size_t k = 0; k < kTexelKinds; ++k) {
            computed.forward.counts[k] = counts[0][0][k] + counts[1][0][k];
            computed.backward.counts[k] = counts[0][1][k] + counts[1][1][k];
        }
        os::RunSideBySide([&] { TellOpen(map, heights, terrain, Direction::Forward, &computed.forward); },
                      [&] { TellOpen(map, heights, terrain, Direction::Backward, &computed.backward); });
        *angles = std::move(computed);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

bool CastShadows(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                 Direction direction, double elevationDegrees, const LoadedRows* rows, const ShadowRows& lit,
                 const LateShadow& late) {
    const AngleAbove above(elevationDegrees);
    const RowGeometry geometry(map, terrain);
    std::vector<std::uint8_t> shadows[2] = {std::vector<std::uint8_t>(map.width), std::vector<std::uint8_t>(map.width)};
    // Lit for now, a bit a texel: in shadow if anything ahead rises above them. Each
    // row has words of its own, so that the two threads never write the same word.
    const std::size_t words = (std::size_t{map.width} + 63) / 64;
    std::vector<std::uint64_t> untold(words * map.height);
    std::vector<std::uint8_t> rowHasUntold(map.height);
    const bool loaded = ForLoadedRows(map.height, rows, 1, [&](std::uint32_t r, int worker) {
        const float y0 = geometry.y0(r);
        std::uint8_t* shadow = shadows[worker].data();
        std::uint64_t* untoldRow = untold.data() + r * words;
        for (std::uint32_t c = 0; c < map.width; ++c) {
            const std::size_t i = std::size_t{r} * map.width + c;
            const Reading t =
                Read(map, direction, r, c, y0, horizon::Elevation(terrain, heights[i]), geometry.halfSize);
            const bool dark = t.kind == TexelKind::Tree ||
                              ((t.kind == TexelKind::Horizon || t.kind == TexelKind::Ambiguous) && above(t.slope));
            shadow[c] = dark && !t.openIfNoneAhead;
            if (dark && t.openIfNoneAhead) {
                untoldRow[c / 64] |= std::uint64_t{1} << (c % 64);
                rowHasUntold[r] = 1;
            }
        }
        lit(r, shadow);
    });
    if (!loaded) return false;
    // The sweep goes as far as the last row holding any.
    auto left = static_cast<std::size_t>(std::count(rowHasUntold.begin(), rowHasUntold.end(), 1));
    if (left == 0) return true;
    SweepAhead(map, heights, terrain, direction, [&](std::uint32_t r, const float* highest) {
        if (rowHasUntold[r] == 0) return true;
        const std::uint64_t* untoldRow = untold.data() + r * words;
        for (std::uint32_t c = 0; c < map.width; ++c) {
            const std::size_t i = std::size_t{r} * map.width + c;
            if ((untoldRow[c / 64] >> (c % 64) & 1) != 0 && highest[c] > horizon::Elevation(terrain, heights[i]))
                late(i);
        }
        return --left > 0;
    });
    return true;
}

}  // namespace exporter
