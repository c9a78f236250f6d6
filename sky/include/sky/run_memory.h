#pragma once
// The memory a run needs at its peak, known before the DEM's samples are read, so
// that too little memory writes nothing instead of the kernel ending the run.
#include <cstdint>
#include <vector>

#include "skyline/lattice_direction.h"
#include "sky/sky_options.h"

namespace sky {

// The most memory the run of `options` holds at one time beyond what the program
// holds before it reads the DEM, for a DEM of `width` x `height` texels swept in
// `directions` (one per azimuth, in order) on `threads` threads: the largest of
// loading the DEM (its decoded texels beside its doubles), sweeping (the DEM, the
// batch of bands, the sweep's own work, what every output keeps and what one output
// makes of a batch) and finishing (the DEM, what every output keeps and the file
// one output makes), and a margin for the program's own state. Any values;
// saturates at UINT64_MAX.
[[nodiscard]] std::uint64_t RunPeakBytes(const SkyOptions& options, std::uint32_t width, std::uint32_t height,
                                         const std::vector<skyline::LatticeDirection>& directions, unsigned threads);

}  // namespace sky
