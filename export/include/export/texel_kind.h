#pragma once
// What a stored horizon value says about its texel, in one direction.
#include <cstdint>

#include "export/horizon_map_file.h"

namespace exporter {

// Forward: the red channel, looking along increasing rows (down the image).
// Backward: the green channel, looking along decreasing rows (up the image).
enum class Direction : std::uint8_t { Forward, Backward };

// The codes are written into the angle files' kind channels: keep their values.
enum class TexelKind : std::uint8_t {
    Horizon = 0,    // the value holds a rising slope
    Faint = 1,      // rises less than a 32-bit value near 1 resolves; the angle is given as 0
    Ambiguous = 2,  // both signs of the lost q give a rising slope; the one with z0 + D >= 0 is taken
    Open = 3,       // 0.999: nothing ahead rises above the texel
    Tree = 4,       // 0.001 in both channels: under a tree
    Edge = 5,       // the last row forward, the first row backward: no terrain ahead
    Unfit = 6,      // no rising slope gives this value (not in (0, 1], or other settings than the run's)
};
constexpr int kTexelKinds = 7;

// The kind's name in the angle files' descriptions; never null.
const char* KindName(TexelKind kind);

// What the stored values alone tell, without the height map: Tree, Edge, Open,
// Unfit for a value outside (0, 1], else Horizon (a value to read). `row` and
// `column` must lie inside the map.
TexelKind StoredKind(const HorizonMap& map, Direction direction, std::uint32_t row, std::uint32_t column);

// The value one direction stored for a texel inside the map.
inline float StoredValue(const HorizonMap& map, Direction direction, std::uint32_t row, std::uint32_t column) {
    return direction == Direction::Forward ? map.red(row, column) : map.green(row, column);
}

}  // namespace exporter
