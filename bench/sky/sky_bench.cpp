// Horizons in many directions against the tool's own two-direction step, on the
// same generated 16-bit terrain in the same process: seconds (wall, and processor
// time of all threads) and their ratios to the tool's step, and the processor's
// nanoseconds per sample swept (texels and crossings between them, each direction
// its own sweep). On a machine shared with other work the processor times are the
// steadier figures.
//
//   sky_bench [SIZE] [RUNS]    (default 4096, 3; the median of RUNS)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include "horizon/horizon_fast.h"
#include "samples_swept.h"
#include "skyline/horizon_bands.h"
#include "terrain/terrain_families.h"

namespace {

struct Timing {
    double wall = 0, cpu = 0;
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

template <typename Work>
Timing Median(int runs, Work&& work) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        const double cpuStart = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        if (!work()) std::exit(1);
        wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(CpuSeconds() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
    const auto size = static_cast<std::uint32_t>(argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4096);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::vector<float> rgba = horizon::testing::MakeHeights(horizon::testing::Terrain::Fbm16, size, size, 7);
    const horizon::HorizonSettings settings = horizon::testing::SettingsFor(horizon::testing::Terrain::Fbm16);
    std::vector<float> out(rgba.size());
    std::vector<double> z(rgba.size() / 4);
    for (std::size_t i = 0; i < z.size(); ++i) z[i] = horizon::Elevation(settings, rgba[4 * i]);
    const skyline::Grid grid{size, size, z.data()};
    const double cell = settings.terraSize / size;

    const Timing tool = Median(runs, [&] {
        return horizon::ComputeHorizonFast(rgba.data(), out.data(), size, size, settings, nullptr).ok();
    });
    std::printf(
        "| work (%u x %u, %u threads) | wall s | cpu s | x the tool's step (wall) | x (cpu) | samples | cpu ns/sample "
        "|\n",
        size, size, std::thread::hardware_concurrency());
    std::printf("|---|---|---|---|---|---|---|\n");
    std::printf("| the tool's 2-direction step | %.3f | %.3f | 1 | 1 | - | - |\n", tool.wall, tool.cpu);
    for (unsigned count : {8u, 16u}) {
        skyline::HorizonRequest request{bench::EvenDirections(count),        cell, cell, false, 0,
                                        std::thread::hardware_concurrency(), {}};
        std::vector<std::vector<float>> bands;
        const Timing t = Median(runs, [&] { return skyline::ComputeHorizonBands(grid, request, &bands).ok(); });
        const double samples = bench::SamplesSwept(size, size, request.directions);
        std::printf("| %u directions | %.3f | %.3f | %.1f | %.1f | %.3g | %.2f |\n", count, t.wall, t.cpu,
                    t.wall / tool.wall, t.cpu / tool.cpu, samples, 1e9 * t.cpu / samples);
        std::fflush(stdout);
    }
    return 0;
}
