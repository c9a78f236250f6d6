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
    std::vector<std::pair<std::int64_t, std::int64_t>> starts;  // first texel of each line
};

void FindStarts(const Grid& grid, Family* family) {
    const std::int64_t dx = family->geometry.d.dx, dy = family->geometry.d.dy;
    const std::int64_t w = grid.width, h = grid.height;
    for (std::int64_t y = 0; y < h; ++y) {
        if (y - dy < 0 || y - dy >= h) {
            for (std::int64_t x = 0; x < w; ++x) family->starts.emplace_back(x, y);
            continue;
        }
        // Otherwise only where the column one step back is outside.
        const std::int64_t from = dx > 0 ? 0 : std::max<std::int64_t>(0, w + dx);
        const std::int64_t to = dx > 0 ? std::min<std::int64_t>(w, dx) : dx < 0 ? w : 0;
        for (std::int64_t x = from; x < to; ++x) family->starts.emplace_back(x, y);
    }
}

class Worker {
public:
    Worker(const Grid& grid, const std::vector<Family>& families, std::vector<std::vector<float>>& bands,
           std::atomic<std::size_t>& next, std::size_t total, double maxDistance)
        : grid_(grid), families_(families), bands_(bands), next_(next), total_(total), maxDistance_(maxDistance) {}

    // Takes lines from the shared counter until none are left.
    void run(const std::function<void(double)>* progress) {
        for (;;) {
            const std::size_t first = next_.fetch_add(kBatch);
            if (first >= total_) return;
            for (std::size_t i = first; i < first + kBatch && i < total_; ++i) line(i);
            if (progress != nullptr && *progress) (*progress)(static_cast<double>(first) / total_);
        }
    }

private:
    static constexpr std::size_t kBatch = 16;

    void line(std::size_t index) {
        std::size_t f = 0;
        while (index >= families_[f].starts.size()) index -= families_[f++].starts.size();
        const Family& family = families_[f];
        const auto [x, y] = family.starts[index];
        GatherLine(grid_, family.geometry, family.plan, x, y, &profile_);
        for (const Sweep& sweep : family.sweeps) {
            if (maxDistance_ > 0) {
                const std::int64_t reach = ReachInUnits(family.geometry, maxDistance_);
                if (reach < 1) continue;
                SweepLineWithin(profile_, sweep.ahead, reach, &best_);
            } else {
                hull_.clear();
                SweepLine(profile_, sweep.ahead, &hull_, &best_);
            }
            float* band = bands_[sweep.band].data();
            for (std::size_t k = 0; k < best_.size(); ++k) {
                if (best_[k] != best_[k]) continue;
                const double p = profile_.position[k];
                band[profile_.texel[k]] = HorizonAngle(family.geometry, best_[k], sweep.ahead > 0 ? p : -p);
            }
        }
    }

    const Grid& grid_;
    const std::vector<Family>& families_;
    std::vector<std::vector<float>>& bands_;
    std::atomic<std::size_t>& next_;
    std::size_t total_;
    double maxDistance_;
    LineProfile profile_;
    HullState hull_;
    std::vector<double> best_;
};

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
    bands->assign(request.directions.size(), std::vector<float>(texels, kNoData));

    std::atomic<std::size_t> next{0};
    std::atomic<bool> outOfMemory{false};
    const auto work = [&](const std::function<void(double)>* progress) {
        try {
            Worker(grid, families, *bands, next, total, request.maxDistance).run(progress);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            next = total;  // the others stop at their next batch
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < request.threads; ++t) {
        try {
            helpers.emplace_back(work, nullptr);
        } catch (const std::system_error&) {
            break;  // fewer threads, same result
        }
    }
    work(&request.progress);
    for (auto& helper : helpers) helper.join();
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
