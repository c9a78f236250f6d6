#pragma once
// The horizon computation arranged for speed: the same red and green values as
// ComputeHorizonReference, bit for bit, for every input, in about width x height
// time on natural terrain, on every core.
#include <cstdint>

#include "horizon/horizon_kernel.h"
#include "status/status.h"

namespace horizon {

// Optional knobs and counters, for benchmarks and tests.
struct HorizonFastOptions {
    unsigned threads = 0;                       // 0: one per hardware thread
    std::uint64_t* samplesEvaluated = nullptr;  // if set, receives the float slopes computed
};

// Arguments as ComputeHorizonReference takes them. Ok, or OutOfMemory when not
// even the calling thread's working memory can be had (`out` is then incomplete).
// Helpers that cannot be given memory or a thread are done without: the threads
// that started share their panels. Nothing escapes.
[[nodiscard]] status::Status ComputeHorizonFast(const float* heights, float* out, std::uint32_t width, std::uint32_t height,
                                         const HorizonSettings& settings, const HorizonProgress& progress);

// The same with `options`.
[[nodiscard]] status::Status ComputeHorizonFast(const float* heights, float* out, std::uint32_t width, std::uint32_t height,
                                         const HorizonSettings& settings, const HorizonProgress& progress,
                                         const HorizonFastOptions& options);

}  // namespace horizon
