#pragma once
// Horizon angles of every texel in several directions, line by line on threads.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "skyline/sampling_model.h"
#include "status/status.h"

namespace skyline {

struct HorizonRequest {
    std::vector<LatticeDirection> directions;
    double cellX = 1;
    double cellY = 1;
    bool curvature = false;
    double maxDistance = 0;  // metres; 0: out to the map's edge
    unsigned threads = 1;    // at least 1
    // Called now and then from one thread with the share of the lines done, [0, 1].
    std::function<void(double)> progress;
};

// One band per direction (width * height floats, packed rows): the HorizonAngle of
// each texel, kNoData where the texel has no data or no sample ahead. A direction
// and its opposite share one gather of each line. `bands` not null. Ok;
// InvalidArgument for an empty grid, no directions or cells not above 0;
// OutOfMemory, `bands` then empty.
status::Status ComputeHorizonBands(const Grid& grid, const HorizonRequest& request,
                                   std::vector<std::vector<float>>* bands);

// One batch of bands: the indices (into the request's directions) of those it
// holds and their bands, in the same order. The receiver may move the bands away.
// Ok to go on; any failure stops the computation and is returned by it.
using BandBatch =
    std::function<status::Status(const std::vector<std::size_t>& directions, std::vector<std::vector<float>>& bands)>;

// The bands of ComputeHorizonBands, bit for bit, a few at a time so that only those
// are held: each batch a direction with its opposite when both are asked for (one
// gather), the batches in order of the first direction each holds, every one
// handed to `take` before the next is computed in the same memory. Ok;
// InvalidArgument as ComputeHorizonBands or without `take`; OutOfMemory; or what
// `take` returned.
status::Status ComputeHorizonBatches(const Grid& grid, const HorizonRequest& request, const BandBatch& take);

// The bands of ComputeHorizonBands, bit for bit, written straight into the
// caller's memory: direction i's band (width * height floats, packed rows) at
// `bands[i]`, every one of them not null, not overlapping. Nothing else is
// allocated beyond HorizonWorkBytes. Ok; InvalidArgument as ComputeHorizonBands or
// for a null band; OutOfMemory, the bands then in an unspecified state.
status::Status ComputeHorizonsInto(const Grid& grid, const HorizonRequest& request, float* const* bands);

// The batches ComputeHorizonBatches hands over for `directions`, in order: the
// indices each holds. Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] std::vector<std::vector<std::size_t>> HorizonBatchOrder(const std::vector<LatticeDirection>& directions);

// The most memory ComputeHorizonBatches holds at one time beside the grid and the
// batch's bands, for a width x height grid and `threads` threads: one direction's
// line starts, and each thread's gathered lines and sweep state. Any values;
// saturates at UINT64_MAX.
[[nodiscard]] std::uint64_t HorizonWorkBytes(std::uint32_t width, std::uint32_t height,
                                             const std::vector<LatticeDirection>& directions, unsigned threads);

}  // namespace skyline
