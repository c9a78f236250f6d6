#include "skyline/line_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "skyline/exact_arithmetic.h"

namespace skyline {

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool Inside(const Grid& grid, std::int64_t x, std::int64_t y) {
    return x >= 0 && y >= 0 && x < grid.width && y < grid.height;
}

class Gatherer {
public:
    Gatherer(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, LineProfile* profile)
        : grid_(grid), g_(g), plan_(plan.crossings), out_(profile) {}

    // The crossings strictly between lattice points (x, y) and the next one.
    void between(std::int64_t x, std::int64_t y) {
        const std::int64_t base = TexelPosition(g_, x, y);
        // Between two points of the map every crossing is in it too.
        const bool inside = Inside(grid_, x, y) && Inside(grid_, x + g_.d.dx, y + g_.d.dy);
        for (const CrossingPlan::Crossing& c : plan_) {
            if (!inside && (!Inside(grid_, x + c.loX, y + c.loY) || !Inside(grid_, x + c.hiX, y + c.hiY))) continue;
            const double lo = grid_.at(x + c.loX, y + c.loY), hi = grid_.at(x + c.hiX, y + c.hiY);
            if (lo != lo || hi != hi) continue;
            const std::int64_t p = base + c.units;
            push(p, Lowered(g_, CrossingHeight(lo, hi, c.weight), p), -1);
        }
    }

    void texel(std::int64_t x, std::int64_t y) {
        const double z = grid_.at(x, y);
        if (z != z) return;
        const std::int64_t p = TexelPosition(g_, x, y);
        push(p, Lowered(g_, z, p), y * grid_.width + x);
    }

private:
    void push(std::int64_t p, double w, std::int64_t texel) {
        out_->position.push_back(static_cast<double>(p));
        out_->w.push_back(w);
        out_->texel.push_back(texel);
    }

    const Grid& grid_;
    const LineGeometry& g_;
    const std::vector<CrossingPlan::Crossing>& plan_;
    LineProfile* out_;
};

// Asks for the rows a step from lattice point (x, y) reads, before it is taken: the
// lines' steps stride across rows, which the processor does not foresee.
void Prefetch(const Grid& grid, const LineGeometry& g, std::int64_t x, std::int64_t y) {
    if (!Inside(grid, x, y) || !Inside(grid, x + g.d.dx, y + g.d.dy)) return;
    const std::int64_t rows = std::max(std::abs(g.d.dy), 1);
    for (std::int64_t r = 0; r < rows; ++r)
        __builtin_prefetch(&grid.z[(y + (g.d.dy > 0 ? r : -r)) * grid.width + x + g.d.dx * r / rows]);
}

// The hull sweep for one direction along the positions, so that the distances to
// the hull (ahead of every new sample) need no sign.
template <int kAhead>
std::size_t Sweep(const LineProfile& profile, HullState::Vertex* h, std::size_t top, double* out) {
    const std::size_t count = profile.position.size();
    const double* position = profile.position.data();
    const double* elevation = profile.w.data();
    const std::int64_t* texel = profile.texel.data();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t k = kAhead > 0 ? count - 1 - step : step;
        const double p = position[k], w = elevation[k];
        // Drop the top while it lies on or under the line from this sample to the
        // vertex after it: it can no longer be the highest seen from here or before.
        while (top >= 2) {
            const HullState::Vertex& t = h[top - 1];
            const HullState::Vertex& next = h[top - 2];
            const double along = kAhead > 0 ? t.position - p : p - t.position;
            const double beyond = kAhead > 0 ? next.position - p : p - next.position;
            if (!SlopeNotBelow(w, t.w, along, next.w, beyond)) break;
            --top;
        }
        // The real slopes to the top beat all others, and rounding keeps the order.
        if (texel[k] >= 0 && top > 0) out[k] = SlopeQuotient(w, p, h[top - 1].w, h[top - 1].position);
        h[top++] = {p, w};
    }
    return top;
}

}  // namespace

CrossingPlan MakeCrossingPlan(const LineGeometry& g) {
    CrossingPlan plan;
    const std::int64_t ax = std::abs(g.d.dx), ay = std::abs(g.d.dy);
    std::int64_t i = 1, j = 1;
    // Merge the column-line and row-line crossings by position.
    while (i < ax || j < ay) {
        const bool column = j >= ay || (i < ax && i * g.columnUnits < j * g.rowUnits);
        if (column) {
            // Column line i over, between rows floor and floor + 1.
            const std::int64_t cx = g.d.dx > 0 ? i : -i, num = g.d.dy * i, row = FloorDiv(num, ax);
            plan.crossings.push_back({cx, row, cx, row + 1, CrossingWeight(num - row * ax, ax), i * g.columnUnits});
            ++i;
        } else {
            const std::int64_t cy = g.d.dy > 0 ? j : -j, num = g.d.dx * j, column = FloorDiv(num, ay);
            plan.crossings.push_back(
                {column, cy, column + 1, cy, CrossingWeight(num - column * ay, ay), j * g.rowUnits});
            ++j;
        }
    }
    return plan;
}

void GatherLine(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, std::int64_t x, std::int64_t y,
                LineProfile* profile) {
    profile->clear();
    Gatherer gather(grid, g, plan, profile);
    const std::int64_t dx = g.d.dx, dy = g.d.dy;
    gather.between(x - dx, y - dy);
    for (; Inside(grid, x, y); x += dx, y += dy) {
        gather.texel(x, y);
        gather.between(x, y);
    }
}

void GatherLines(const Grid& grid, const LineGeometry& g, const CrossingPlan& plan, const LineStart* starts,
                 std::size_t count, LineProfile* profiles) {
    constexpr std::size_t kTogether = 16;
    constexpr std::int64_t kAhead = 8;  // steps: enough to hide a read from memory
    const std::int64_t dx = g.d.dx, dy = g.d.dy;
    for (std::size_t first = 0; first < count; first += kTogether) {
        const std::size_t n = std::min(kTogether, count - first);
        LineStart at[kTogether];
        for (std::size_t j = 0; j < n; ++j) {
            at[j] = starts[first + j];
            profiles[first + j].clear();
            Gatherer(grid, g, plan, &profiles[first + j]).between(at[j].x - dx, at[j].y - dy);
        }
        for (bool walking = true; walking;) {
            walking = false;
            for (std::size_t j = 0; j < n; ++j) {
                if (!Inside(grid, at[j].x, at[j].y)) continue;
                Prefetch(grid, g, at[j].x + kAhead * dx, at[j].y + kAhead * dy);
                Gatherer gather(grid, g, plan, &profiles[first + j]);
                gather.texel(at[j].x, at[j].y);
                gather.between(at[j].x, at[j].y);
                at[j].x += dx;
                at[j].y += dy;
                walking = true;
            }
        }
    }
}

void GatherLine(const Grid& grid, const LineGeometry& g, std::int64_t x, std::int64_t y, LineProfile* profile) {
    GatherLine(grid, g, MakeCrossingPlan(g), x, y, profile);
}

void SweepLine(const LineProfile& profile, int ahead, HullState* hull, std::vector<double>* best) {
    const std::size_t count = profile.position.size();
    best->assign(count, std::numeric_limits<double>::quiet_NaN());
    // The stack in a plain array: the loop is the program's innermost.
    std::vector<HullState::Vertex>& vertices = hull->vertices;
    const std::size_t top = vertices.size();
    vertices.resize(top + count);
    const std::size_t left = ahead > 0 ? Sweep<1>(profile, vertices.data(), top, best->data())
                                       : Sweep<-1>(profile, vertices.data(), top, best->data());
    vertices.resize(left);
}

void SweepLineWithin(const LineProfile& profile, int ahead, std::int64_t reach, std::vector<double>* best) {
    const std::size_t n = profile.position.size();
    best->assign(n, std::numeric_limits<double>::quiet_NaN());
    if (n == 0) return;
    // Sample i in order of distance ahead: u grows along the direction asked for.
    const auto at = [&](std::size_t i) { return ahead > 0 ? i : n - 1 - i; };
    // Positions, heights and stretches once, in that order: the loops below ask for
    // each several times, and a stretch costs a division.
    std::vector<std::int64_t> positions(n), stretches(n);
    std::vector<double> heights(n);
    for (std::size_t i = 0; i < n; ++i) {
        positions[i] = static_cast<std::int64_t>(ahead * profile.position[at(i)]);
        heights[i] = profile.w[at(i)];
        stretches[i] = (positions[i] - positions[0]) / reach;
    }
    const auto u = [&](std::size_t i) { return positions[i]; };
    const auto w = [&](std::size_t i) { return heights[i]; };
    const auto stretch = [&](std::size_t i) { return stretches[i]; };
    const auto offer = [&](std::size_t i, std::size_t k) {
        const double q = SlopeQuotient(w(i), u(i), w(k), u(k));
        double& b = (*best)[at(i)];
        if (!(b >= q)) b = q;
    };

    // The rest of each texel's own stretch: the hull sweep, started afresh at each.
    std::vector<std::size_t> hull;
    for (std::size_t i = n; i-- > 0;) {
        if (i + 1 < n && stretch(i + 1) != stretch(i)) hull.clear();
        while (hull.size() >= 2) {
            const std::size_t t = hull.back(), next = hull[hull.size() - 2];
            if (CompareSlopes(w(i), w(t), static_cast<double>(u(t) - u(i)), w(next),
                              static_cast<double>(u(next) - u(i))) < 0)
                break;
            hull.pop_back();
        }
        if (profile.texel[at(i)] >= 0 && !hull.empty()) offer(i, hull.back());
        hull.push_back(i);
    }

    // The next stretch's samples up to u + reach: an upper hull growing at its far
    // end, searched for the vertex of greatest slope (the slopes rise, then fall).
    std::size_t added = 0;
    std::int64_t current = -1;
    for (std::size_t i = 0; i < n; ++i) {
        if (stretch(i) != current) {
            current = stretch(i);
            hull.clear();
            added = i;
            while (added < n && stretch(added) == current) ++added;
        }
        while (added < n && stretch(added) == current + 1 && u(added) - u(i) <= reach) {
            while (hull.size() >= 2) {
                const std::size_t b = hull.back(), a = hull[hull.size() - 2];
                if (CompareSlopes(w(a), w(b), static_cast<double>(u(b) - u(a)), w(added),
                                  static_cast<double>(u(added) - u(a))) < 0)
                    break;
                hull.pop_back();
            }
            hull.push_back(added++);
        }
        if (profile.texel[at(i)] < 0 || hull.empty()) continue;
        std::size_t lo = 0, hi = hull.size() - 1;
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            const bool falling = CompareSlopes(w(i), w(hull[mid]), static_cast<double>(u(hull[mid]) - u(i)),
                                               w(hull[mid + 1]), static_cast<double>(u(hull[mid + 1]) - u(i))) <= 0;
            if (falling)
                hi = mid;
            else
                lo = mid + 1;
        }
        offer(i, hull[lo]);
    }
}

}  // namespace skyline
