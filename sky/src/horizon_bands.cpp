#include "sky/horizon_bands.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "sky/line_sweep.h"

namespace sky {

namespace {

// A direction with its opposite: one of them has dy > 0, or dy = 0 and dx > 0.
LatticeDirection Canonical(LatticeDirection d) {
    return d.dy > 0 || (d.dy == 0 && d.dx > 0) ? d : LatticeDirection{-d.dx, -d.dy};
}

struct Sweep {
    std::size_t band;
    int ahead;  // +1 along the family's direction, -1 against it
};

struct Family {
    LineGeometry geometry;
    CrossingPlan plan;
    std::vector<Sweep> sweeps;
    std::vector<LineStart> starts;
};

void FindStarts(const Grid& grid, Family* family) {
    const std::int64_t dx = family->geometry.d.dx, dy = family->geometry.d.dy;
    const std::int64_t w = grid.width, h = grid.height;
    for (std::int64_t y = 0; y < h; ++y) {
        if (y - dy < 0 || y - dy >= h) {
            for (std::int64_t x = 0; x < w; ++x) family->starts.push_back({x, y});
            continue;
        }
        // Otherwise only where the column one step back is outside.
        const std::int64_t from = dx > 0 ? 0 : std::max<std::int64_t>(0, w + dx);
        const std::int64_t to = dx > 0 ? std::min<std::int64_t>(w, dx) : dx < 0 ? w : 0;
        for (std::int64_t x = from; x < to; ++x) family->starts.push_back({x, y});
    }
}

class Worker {
public:
    Worker(const Grid& grid, const std::vector<Family>& families, std::vector<std::vector<float>>& bands,
           std::atomic<std::size_t>& next, std::size_t total, double maxDistance)
        : grid_(grid), families_(families), bands_(bands), next_(next), total_(total), maxDistance_(maxDistance) {}

    // Takes lines from the shared counter until none are left.
    void run(const std::function<void(double)>* progress) {
        profiles_.resize(kBatch);
        for (;;) {
            const std::size_t first = next_.fetch_add(kBatch);
            if (first >= total_) return;
            // The batch family by family, each part gathered together.
            std::size_t f = 0, index = first;
            while (index >= families_[f].starts.size()) index -= families_[f++].starts.size();
            for (std::size_t done = 0, left = std::min(kBatch, total_ - first); left > 0; ++f, index = 0) {
                const Family& family = families_[f];
                const std::size_t n = std::min(left, family.starts.size() - index);
                GatherLines(grid_, family.geometry, family.plan, &family.starts[index], n, &profiles_[done]);
                for (std::size_t j = 0; j < n; ++j) {
                    if (maxDistance_ == 0) DropHiddenCrossings(&profiles_[done + j]);
                    sweepLine(family, profiles_[done + j]);
                }
                done += n;
                left -= n;
            }
            if (progress != nullptr && *progress) (*progress)(static_cast<double>(first) / total_);
        }
    }

private:
    static constexpr std::size_t kBatch = 16;

    void sweepLine(const Family& family, const LineProfile& profile) {
        for (const Sweep& sweep : family.sweeps) {
            if (maxDistance_ > 0) {
                const std::int64_t reach = ReachInUnits(family.geometry, maxDistance_);
                if (reach < 1) continue;
                SweepLineWithin(profile, sweep.ahead, reach, &best_);
            } else {
                hull_.clear();
                SweepLine(profile, sweep.ahead, &hull_, &best_);
            }
            float* band = bands_[sweep.band].data();
            for (std::size_t k = 0; k < best_.size(); ++k) {
                if (best_[k] != best_[k]) continue;
                const double p = profile.position[k];
                band[profile.texel[k]] = HorizonAngle(family.geometry, best_[k], sweep.ahead > 0 ? p : -p);
            }
        }
    }

    const Grid& grid_;
    const std::vector<Family>& families_;
    std::vector<std::vector<float>>& bands_;
    std::atomic<std::size_t>& next_;
    std::size_t total_;
    double maxDistance_;
    std::vector<LineProfile> profiles_;  // one batch
    HullState hull_;
    std::vector<double> best_;
};

// `work(first)` on up to `threads` threads, `first` true on the calling one; back
// when all are done. Nothing escapes from `work`.
template <typename Work>
void OnThreads(unsigned threads, const Work& work) {
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work, false);
        } catch (const std::system_error&) {
            break;  // fewer threads, same result
        }
    }
    work(true);
    for (auto& helper : helpers) helper.join();
}

HRESULT Compute(const Grid& grid, const HorizonRequest& request, std::vector<std::vector<float>>* bands) {
    std::map<std::pair<int, int>, Family> byDirection;
    for (std::size_t i = 0; i < request.directions.size(); ++i) {
        const LatticeDirection d = request.directions[i];
        const LatticeDirection c = Canonical(d);
        Family& family = byDirection[{c.dx, c.dy}];
        family.geometry = MakeLineGeometry(c, request.cellX, request.cellY, request.curvature);
        family.sweeps.push_back({i, c == d ? 1 : -1});
    }
    std::vector<Family> families;
    std::size_t total = 0;
    for (auto& [key, family] : byDirection) {
        FindStarts(grid, &family);
        family.plan = MakeCrossingPlan(family.geometry);
        total += family.starts.size();
        families.push_back(std::move(family));
    }
    const std::size_t texels = std::size_t{grid.width} * grid.height;
    bands->assign(request.directions.size(), {});

    std::atomic<bool> outOfMemory{false};
    // The bands filled on all threads first (writing them is a good share of the
    // time at few directions), then the lines.
    std::atomic<std::size_t> nextBand{0};
    OnThreads(request.threads, [&](bool) {
        try {
            for (std::size_t b = nextBand++; b < bands->size(); b = nextBand++) (*bands)[b].assign(texels, kNoData);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    });
    if (outOfMemory) return E_OUTOFMEMORY;
    std::atomic<std::size_t> next{0};
    OnThreads(request.threads, [&](bool first) {
        try {
            Worker(grid, families, *bands, next, total, request.maxDistance).run(first ? &request.progress : nullptr);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            next = total;  // the others stop at their next batch
        }
    });
    if (outOfMemory) return E_OUTOFMEMORY;
    if (request.progress) request.progress(1.0);
    return S_OK;
}

}  // namespace

HRESULT ComputeHorizonBands(const Grid& grid, const HorizonRequest& request, std::vector<std::vector<float>>* bands) {
    if (bands == nullptr) return E_INVALIDARG;
    bands->clear();
    if (grid.width == 0 || grid.height == 0 || grid.z == nullptr || request.directions.empty() ||
        !(request.cellX > 0) || !(request.cellY > 0) || request.threads == 0)
        return E_INVALIDARG;
    try {
        const HRESULT hr = Compute(grid, request, bands);
        if (hr != S_OK) bands->clear();
        return hr;
    } catch (const std::bad_alloc&) {
        bands->clear();
        return E_OUTOFMEMORY;
    }
}

}  // namespace sky
