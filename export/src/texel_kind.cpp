#include "export/texel_kind.h"

#include <cassert>

#include "horizon/horizon_kernel.h"
#include "horizon/tree_rules.h"

namespace exporter {

const char* KindName(TexelKind kind) {
    switch (kind) {
        case TexelKind::Horizon: return "horizon";
        case TexelKind::Faint: return "faint";
        case TexelKind::Ambiguous: return "ambiguous";
        case TexelKind::Open: return "open";
        case TexelKind::Tree: return "tree";
        case TexelKind::Edge: return "edge";
        case TexelKind::Unfit: return "unfit";
    }
    return "?";
}

TexelKind StoredKind(const HorizonMap& map, Direction direction, std::uint32_t row, std::uint32_t column) {
    assert(row < map.height && column < map.width);
    // The tree shade overwrites both channels, the edge rows included; a lone 0.001
    // is a real horizon of 89.94 degrees.
    if (map.red(row, column) == horizon::kTreeShadeValue && map.green(row, column) == horizon::kTreeShadeValue)
        return TexelKind::Tree;
    const bool edge = direction == Direction::Forward ? row + 1 == map.height : row == 0;
    if (edge) return TexelKind::Edge;  // holds whatever the texel before it was given
    const float v = StoredValue(map, direction, row, column);
    if (v == horizon::kOpenHorizonValue) return TexelKind::Open;
    if (!(v > 0.0f && v <= 1.0f)) return TexelKind::Unfit;
    return TexelKind::Horizon;
}

}  // namespace exporter
