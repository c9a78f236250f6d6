// Reference against fast horizon computation on generated terrains: seconds
// (median of several runs for the fast one), speed-up, and float slopes
// evaluated per texel over both passes.
//
//   horizon_bench [--max SIZE] [--min SIZE] [--reference-max SIZE] [--runs N] [--threads N] [--only NAME]
//                 [--no-avx512 1]   (as on a processor with AVX2 at most; no effect while the
//                                    library is built to dispatch up to AVX2 only)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "hwy/targets.h"
#include "horizon/horizon_fast.h"
#include "os/page_buffer.h"
#include "terrain/terrain_families.h"

using horizon::HorizonSettings;
using os::PageBuffer;

namespace {

using horizon::testing::Terrain;

struct Options {
    std::uint32_t minSize = 256, maxSize = 8192, referenceMax = 1024;
    int runs = 3;
    unsigned threads = 0;
    const char* only = nullptr;
    bool noAvx512 = false;
};

double Seconds(auto&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of the whole process, all threads: steadier than wall time on a
// shared machine.
double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view flag = argv[i];
        const unsigned long value = std::strtoul(argv[i + 1], nullptr, 10);
        if (flag == "--max") options.maxSize = static_cast<std::uint32_t>(value);
        if (flag == "--min") options.minSize = static_cast<std::uint32_t>(value);
        if (flag == "--reference-max") options.referenceMax = static_cast<std::uint32_t>(value);
        if (flag == "--runs") options.runs = static_cast<int>(value);
        if (flag == "--threads") options.threads = static_cast<unsigned>(value);
        if (flag == "--only") options.only = argv[i + 1];
        if (flag == "--no-avx512") options.noAvx512 = value != 0;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    if (options.noAvx512) hwy::DisableTargets(HWY_AVX3 | HWY_AVX3_DL);
    const Terrain terrains[] = {Terrain::Fbm8, Terrain::Fbm16, Terrain::FbmTrees, Terrain::Plane,
                                Terrain::Bowl, Terrain::Ridge, Terrain::Ramp,     Terrain::RoundedRamp};
    std::printf("| terrain | size | reference s | fast s (median) | fast cpu s | speed-up | samples/texel |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Terrain terrain : terrains) {
        if (options.only && horizon::testing::Name(terrain) != std::string_view(options.only)) continue;
        for (std::uint32_t size = options.minSize; size <= options.maxSize; size *= 2) {
            // Both maps in memory the tool's textures use.
            const auto generated = horizon::testing::MakeHeights(terrain, size, size, 7);
            const std::size_t bytes = generated.size() * sizeof(float);
            PageBuffer heights, out;
            if (!PageBuffer::allocate(bytes, 0, heights).ok() || !PageBuffer::allocate(bytes, bytes, out).ok()) {
                std::printf("| %s | %u | out of memory |\n", horizon::testing::Name(terrain).data(), size);
                continue;
            }
            // Page faults on the output are the texture's cost, not the computation's.
            std::memcpy(heights.data(), generated.data(), bytes);
            std::memset(out.data(), 0, bytes);
            const auto* heightTexels = static_cast<const float*>(heights.data());
            auto* outTexels = static_cast<float*>(out.data());
            const HorizonSettings settings = horizon::testing::SettingsFor(terrain);
            std::uint64_t samples = 0;
            horizon::HorizonFastOptions fastOptions;
            fastOptions.threads = options.threads;
            fastOptions.samplesEvaluated = &samples;
            const int runs = size >= 16384 ? std::min(options.runs, 3) : options.runs;
            std::vector<double> times, cpu;
            for (int run = 0; run < runs; ++run) {
                const double cpuStart = CpuSeconds();
                status::Status computed;
                times.push_back(Seconds([&] {
                    computed = horizon::ComputeHorizonFast(heightTexels, outTexels, size, size, settings, nullptr,
                                                     fastOptions);
                }));
                if (!computed.ok()) {
                    std::fprintf(stderr, "out of memory at %u\n", size);
                    return 1;
                }
                cpu.push_back(CpuSeconds() - cpuStart);
            }
            std::sort(times.begin(), times.end());
            std::sort(cpu.begin(), cpu.end());
            const double fast = times[times.size() / 2], fastCpu = cpu[cpu.size() / 2];
            const double perTexel = static_cast<double>(samples) / (double(size) * size);
            if (size <= options.referenceMax) {
                const double reference = Seconds(
                    [&] { horizon::ComputeHorizonReference(heightTexels, outTexels, size, size, settings, nullptr); });
                std::printf("| %s | %u | %.3f | %.4f | %.4f | %.0fx | %.2f |\n", horizon::testing::Name(terrain).data(),
                            size, reference, fast, fastCpu, reference / fast, perTexel);
            } else {
                std::printf("| %s | %u | - | %.4f | %.4f | - | %.2f |\n", horizon::testing::Name(terrain).data(), size,
                            fast, fastCpu, perTexel);
            }
            std::fflush(stdout);
        }
    }
    return 0;
}
