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

// The rows and columns a tile borrows on each side for --max-distance `maxDistance`
// with cells `cellX` x `cellY` metres: floor(D / cell) + 1 along each axis, so that
// every sample within D and both texels a crossing lies between are in it.
struct Halo {
    std::uint32_t rows = 0, columns = 0;
};
[[nodiscard]] Halo HaloOf(double maxDistance, double cellX, double cellY);

// GDAL's block cache in a run in tiles (what the writes and reads hold of the files).
constexpr std::uint64_t kTileBlockCacheBytes = 16u << 20;

// The peak of the run in tiles whose cores are `core` texels a side with `halo`:
// RunPeakBytes of the largest tile's grid (its core and halo within the DEM), GDAL's
// block cache and, for the sunlight outputs, where the DEM's texels lie on the earth.
[[nodiscard]] std::uint64_t TiledRunPeakBytes(const SkyOptions& options, std::uint32_t width, std::uint32_t height,
                                              std::uint32_t core, Halo halo,
                                              const std::vector<skyline::LatticeDirection>& directions,
                                              unsigned threads);

// Whether `bytes` fit in the memory available now.
using FitsInMemory = bool (*)(std::uint64_t bytes);

// The largest core side below the DEM's longer side, a multiple of 256 (else 128 or
// 64: whole blocks of the GeoTIFFs written) whose run in tiles fits; 0 when none does.
[[nodiscard]] std::uint32_t CoreThatFits(const SkyOptions& options, std::uint32_t width, std::uint32_t height,
                                         Halo halo, const std::vector<skyline::LatticeDirection>& directions,
                                         unsigned threads, FitsInMemory fits);

// The largest --max-distance in metres (rounded down to two significant figures)
// whose tiles fit with an eighth of their peak to spare, their cores at least 512
// texels and twice the halo (but below the DEM's longer side); 0 when none fits.
[[nodiscard]] double MaxDistanceThatFits(const SkyOptions& options, std::uint32_t width, std::uint32_t height,
                                         double cellX, double cellY,
                                         const std::vector<skyline::LatticeDirection>& directions, unsigned threads,
                                         FitsInMemory fits);

}  // namespace sky
