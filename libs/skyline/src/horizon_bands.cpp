#include "skyline/horizon_bands.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "os/huge_pages.h"
#include "skyline/lane_sweep.h"
#include "skyline/line_sweep.h"

namespace skyline {

namespace {

// A direction with its opposite: one of them has dy > 0, or dy = 0 and dx > 0.
LatticeDirection Canonical(LatticeDirection d) {
    return d.dy > 0 || (d.dy == 0 && d.dx > 0) ? d : LatticeDirection{-d.dx, -d.dy};
}

constexpr std::size_t kLinesTogether = 16;  // lines a thread gathers and sweeps at once

struct Sweep {
    std::size_t band;  // in the family's batch
    int ahead;         // +1 along the family's direction, -1 against it
};

struct Family {
    LineGeometry geometry;
    CrossingPlan plan;
    std::vector<Sweep> sweeps;
    std::vector<std::size_t> directions;  // the request's indices, one per sweep
    std::vector<LineStart> starts;
};

// The lines of a direction: every texel of the |dy| rows whose row one step back is
// outside, and |dx| texels of each other row.
std::size_t StartCount(std::uint64_t w, std::uint64_t h, LatticeDirection d) {
    const std::uint64_t edgeRows = std::min<std::uint64_t>(h, std::abs(d.dy));
    return edgeRows * w + (h - edgeRows) * std::min<std::uint64_t>(w, std::abs(d.dx));
}

void FindStarts(const Grid& grid, Family* family) {
    const std::int64_t dx = family->geometry.d.dx, dy = family->geometry.d.dy;
    const std::int64_t w = grid.width, h = grid.height;
    family->starts.reserve(StartCount(grid.width, grid.height, family->geometry.d));
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

// For the lanes: the lines of a direction that crosses rows (dy > 0) through the
// lattice points of its first |dy| rows, those beside the map included, so that
// neighbouring lines are neighbours in a row at every step; the others as
// FindStarts gives them.
std::size_t LaneStartCount(std::uint64_t w, std::uint64_t h, LatticeDirection d) {
    if (d.dy <= 0) return StartCount(w, h, d);
    std::uint64_t count = 0;
    const auto dy = static_cast<std::uint64_t>(d.dy);
    for (std::uint64_t r = 0; r < std::min<std::uint64_t>(h, dy); ++r) count += w + std::abs(d.dx) * ((h - 1 - r) / dy);
    return count;
}

void FindLaneStarts(const Grid& grid, Family* family) {
    const std::int64_t dx = family->geometry.d.dx, dy = family->geometry.d.dy;
    if (dy <= 0) return FindStarts(grid, family);
    const std::int64_t w = grid.width, h = grid.height;
    family->starts.reserve(LaneStartCount(grid.width, grid.height, family->geometry.d));
    for (std::int64_t r = 0; r < std::min(h, dy); ++r) {
        const std::int64_t beside = std::abs(dx) * ((h - 1 - r) / dy);  // lattice points left or right of the map
        const std::int64_t from = dx > 0 ? -beside : 0, to = dx < 0 ? w + beside : w;
        for (std::int64_t x = from; x < to; ++x) family->starts.push_back({x, r});
    }
}

class Worker {
public:
    Worker(const Grid& grid, const Family& family, const std::vector<float*>& bands, std::atomic<std::size_t>& next,
           double maxDistance)
        : grid_(grid),
          family_(family),
          bands_(bands),
          next_(next),
          total_(family.starts.size()),
          maxDistance_(maxDistance) {}

    // Takes lines from the shared counter until none are left.
    void run(const std::function<void(double)>* progress) {
        profiles_.resize(kBatch);
        for (const Sweep& sweep : family_.sweeps) outputs_.push_back({sweep.ahead, bands_[sweep.band]});
        for (;;) {
            const std::size_t first = next_.fetch_add(kBatch);
            if (first >= total_) return;
            const std::size_t n = std::min(kBatch, total_ - first);
            if (maxDistance_ == 0) {
                SweepLinesInLanes(grid_, family_.geometry, family_.plan, &family_.starts[first], n, outputs_.data(),
                                  outputs_.size(), &lanes_);
                if (progress != nullptr && *progress) (*progress)(static_cast<double>(first) / total_);
                continue;
            }
            GatherLines(grid_, family_.geometry, family_.plan, &family_.starts[first], n, profiles_.data());
            for (std::size_t j = 0; j < n; ++j) {
                sweepLine(family_, profiles_[j]);
            }
            if (progress != nullptr && *progress) (*progress)(static_cast<double>(first) / total_);
        }
    }

private:
    static constexpr std::size_t kBatch = kLinesTogether;

    void sweepLine(const Family& family, const LineProfile& profile) {
        for (const Sweep& sweep : family.sweeps) {
            const std::int64_t reach = ReachInUnits(family.geometry, maxDistance_);
            if (reach < 1) continue;
            SweepLineWithin(profile, sweep.ahead, reach, &best_);
            float* band = bands_[sweep.band];
            for (std::size_t k = 0; k < best_.size(); ++k) {
                if (best_[k] != best_[k]) continue;
                const double p = profile.position[k];
                band[profile.texel[k]] = HorizonAngle(family.geometry, best_[k], sweep.ahead > 0 ? p : -p);
            }
        }
    }

    const Grid& grid_;
    const Family& family_;
    const std::vector<float*>& bands_;
    std::atomic<std::size_t>& next_;
    std::size_t total_;
    double maxDistance_;
    std::vector<LineProfile> profiles_;  // one batch, with a reach
    std::vector<LaneSweepOutput> outputs_;
    LaneScratch lanes_;  // without
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
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    work(true);
    for (auto& helper : helpers) helper.join();
}

// The families in order of the first direction each holds.
std::vector<Family> FamiliesOf(const HorizonRequest& request) {
    std::map<std::pair<int, int>, Family> byDirection;
    std::vector<Family*> order;
    for (std::size_t i = 0; i < request.directions.size(); ++i) {
        const LatticeDirection d = request.directions[i];
        const LatticeDirection c = Canonical(d);
        auto [at, added] = byDirection.try_emplace({c.dx, c.dy});
        Family& family = at->second;
        if (added) order.push_back(&family);
        family.geometry = MakeLineGeometry(c, request.cellX, request.cellY, request.curvature);
        family.sweeps.push_back({family.directions.size(), c == d ? 1 : -1});
        family.directions.push_back(i);
    }
    std::vector<Family> families;
    for (Family* family : order) families.push_back(std::move(*family));
    return families;
}

// Every band's `texels` floats kNoData, in pieces on all threads: the first touch
// of a page is what costs.
void FillNoData(const std::vector<float*>& bands, std::size_t texels, unsigned threads) {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const std::size_t pieces = (texels + kPiece - 1) / kPiece;
    std::atomic<std::size_t> next{0};
    OnThreads(threads, [&](bool) {
        for (std::size_t p = next++; p < bands.size() * pieces; p = next++) {
            const std::size_t from = p % pieces * kPiece;
            std::fill(bands[p / pieces] + from, bands[p / pieces] + std::min(texels, from + kPiece), kNoData);
        }
    });
}

// Where a family's bands go: `place` gives the memory of each of its directions,
// width * height floats each filled with kNoData (empty when memory ran out);
// `take` hears when they are whole.
struct BandPlaces {
    std::function<std::vector<float*>(const std::vector<std::size_t>& directions)> place;
    std::function<status::Status(const std::vector<std::size_t>& directions)> take;
};

status::Status Compute(const Grid& grid, const HorizonRequest& request, const BandPlaces& places) {
    std::vector<Family> families = FamiliesOf(request);
    std::size_t total = 0;
    for (const Family& family : families)
        total += request.maxDistance == 0 ? LaneStartCount(grid.width, grid.height, family.geometry.d)
                                          : StartCount(grid.width, grid.height, family.geometry.d);
    std::size_t linesBefore = 0;
    for (Family& family : families) {
        // One family's lines at a time: at many directions all of them would
        // outweigh the map.
        if (request.maxDistance == 0)
            FindLaneStarts(grid, &family);
        else
            FindStarts(grid, &family);
        family.plan = MakeCrossingPlan(family.geometry);
        const std::vector<float*> bands = places.place(family.directions);
        if (bands.empty()) return status::OutOfMemory();
        const std::function<void(double)> progress = [&](double share) {
            if (request.progress) request.progress((linesBefore + share * family.starts.size()) / total);
        };
        std::atomic<bool> outOfMemory{false};
        std::atomic<std::size_t> next{0};
        OnThreads(request.threads, [&](bool first) {
            try {
                Worker(grid, family, bands, next, request.maxDistance).run(first ? &progress : nullptr);
            } catch (const std::bad_alloc&) {
                outOfMemory = true;
                next = family.starts.size();  // the others stop at their next batch
            }
        });
        if (outOfMemory) return status::OutOfMemory();
        linesBefore += family.starts.size();
        std::vector<LineStart>().swap(family.starts);
        if (status::Status taken = places.take(family.directions); !taken.ok()) return taken;
    }
    if (request.progress) request.progress(1.0);
    return status::Ok();
}

[[nodiscard]]  // A request the contract does not allow.
status::Status
Invalid() {
    return status::Fail(status::Code::InvalidArgument,
                        "the horizons need a grid of texels, directions and cells above 0");
}

bool Valid(const Grid& grid, const HorizonRequest& request) {
    return grid.width != 0 && grid.height != 0 && grid.z != nullptr && !request.directions.empty() &&
           request.cellX > 0 && request.cellY > 0 && request.threads != 0;
}

// a + b and a * b, held at UINT64_MAX.
std::uint64_t Add(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}

std::uint64_t Mul(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

}  // namespace

std::vector<std::vector<std::size_t>> HorizonBatchOrder(const std::vector<LatticeDirection>& directions) {
    HorizonRequest request;
    request.directions = directions;
    std::vector<std::vector<std::size_t>> batches;
    for (Family& family : FamiliesOf(request)) batches.push_back(std::move(family.directions));
    return batches;
}

std::uint64_t HorizonWorkBytes(std::uint32_t width, std::uint32_t height,
                               const std::vector<LatticeDirection>& directions, unsigned threads) {
    std::uint64_t starts = 0, samples = 0;
    for (const LatticeDirection d : directions) {
        starts = std::max<std::uint64_t>(
            starts, std::max(StartCount(width, height, d), LaneStartCount(width, height, Canonical(d))));
        // A line has at most min(w / |dx|, h / |dy|) + 1 texels, and fewer than
        // |dx| + |dy| crossings between two of them or beyond its ends.
        const auto steps = static_cast<std::uint64_t>(std::abs(d.dx) + std::abs(d.dy));
        samples = std::max(samples, Add(Add(width, height), 2 * steps));
    }
    // Each thread: a batch of gathered lines (position, elevation, texel), a slope
    // and a hull vertex a sample, in vectors that may hold twice what they use.
    const std::uint64_t line = Mul(samples, 2 * sizeof(double) + sizeof(std::int64_t));
    const std::uint64_t thread = Mul(Add(Mul(line, kLinesTogether), Mul(samples, 3 * sizeof(double))), 2);
    return Add(Mul(starts, sizeof(LineStart)), Mul(thread, std::max(threads, 1u)));
}

status::Status ComputeHorizonBatches(const Grid& grid, const HorizonRequest& request, const BandBatch& take) {
    if (!Valid(grid, request) || !take) return Invalid();
    try {
        const std::size_t texels = std::size_t{grid.width} * grid.height;
        std::vector<std::vector<float>> bands;
        const BandPlaces places{
            [&](const std::vector<std::size_t>& directions) {
                bands.resize(directions.size());
                // Filled on all threads (writing them is a good share of the time at
                // few directions); the same memory serves every batch unless the
                // receiver moves it away.
                std::atomic<bool> outOfMemory{false};
                std::atomic<std::size_t> next{0};
                OnThreads(request.threads, [&](bool) {
                    try {
                        for (std::size_t b = next++; b < bands.size(); b = next++) {
                            // Huge pages where offered: the lines' writes stride across rows.
                            bands[b].clear();
                            bands[b].reserve(texels);
                            os::AdviseHugePages(bands[b].data(), texels * sizeof(float));
                            bands[b].assign(texels, kNoData);
                        }
                    } catch (const std::bad_alloc&) {
                        outOfMemory = true;
                    }
                });
                std::vector<float*> memory;
                if (outOfMemory) return memory;
                for (std::vector<float>& band : bands) memory.push_back(band.data());
                return memory;
            },
            [&](const std::vector<std::size_t>& directions) { return take(directions, bands); }};
        return Compute(grid, request, places);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

status::Status ComputeHorizonsInto(const Grid& grid, const HorizonRequest& request, float* const* bands) {
    if (!Valid(grid, request) || bands == nullptr) return Invalid();
    for (std::size_t i = 0; i < request.directions.size(); ++i)
        if (bands[i] == nullptr) return Invalid();
    try {
        const std::size_t texels = std::size_t{grid.width} * grid.height;
        const BandPlaces places{[&](const std::vector<std::size_t>& directions) {
                                    std::vector<float*> memory;
                                    for (const std::size_t i : directions) memory.push_back(bands[i]);
                                    FillNoData(memory, texels, request.threads);
                                    return memory;
                                },
                                [](const std::vector<std::size_t>&) { return status::Ok(); }};
        return Compute(grid, request, places);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

status::Status ComputeHorizonBands(const Grid& grid, const HorizonRequest& request,
                                   std::vector<std::vector<float>>* bands) {
    bands->clear();
    if (!Valid(grid, request)) return Invalid();
    try {
        bands->resize(request.directions.size());
        status::Status computed = ComputeHorizonBatches(
            grid, request, [&](const std::vector<std::size_t>& directions, std::vector<std::vector<float>>& batch) {
                for (std::size_t j = 0; j < directions.size(); ++j) (*bands)[directions[j]] = std::move(batch[j]);
                return status::Ok();
            });
        if (!computed.ok()) bands->clear();
        return computed;
    } catch (const std::bad_alloc&) {
        bands->clear();
        return status::OutOfMemory();
    }
}

}  // namespace skyline
