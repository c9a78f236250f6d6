// umbrascope-sky's whole run as a user meets it: the built program on the demo's
// terrain as a float GeoTIFF DEM, writing the horizon angles of N directions as a
// GeoTIFF, each run a new process after an idle spell (fresh memory). Beside it,
// floors measured in the same series: libtiff decoding the DEM, a new process
// touching as much memory as the run's peak, and the disk taking the angles' raw
// bytes. "floors + horizons" adds the run's own horizon step, which no floor holds;
// "ns/sample" is that step's wall time times the cores over the samples its
// sweeps pass (the DEM's cells are square).
//
//   sky_run_bench [size [directions...]] [--curvature]     default: 4096 16
// SKY_BENCH_RUNS runs (3), SKY_BENCH_DIR where files go (/var/tmp),
// SKY_BENCH_SETTLE idle seconds before each run and touch (20).
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../../tests/support/run_process.h"
#include "bench_floors.h"
#include "samples_swept.h"

namespace {

using bench::Clock;
using bench::Median;

// Decodes every strip with libtiff alone; false on any failure.
bool DecodeTiff(const std::string& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) return false;
    std::vector<unsigned char> strip(static_cast<std::size_t>(TIFFStripSize(tiff)));
    bool ok = true;
    for (tstrip_t s = 0; ok && s < TIFFNumberOfStrips(tiff); ++s)
        ok = TIFFReadEncodedStrip(tiff, s, strip.data(), static_cast<tmsize_t>(strip.size())) >= 0;
    TIFFClose(tiff);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const int size = argc > 1 ? std::atoi(argv[1]) : 4096;
    std::vector<int> directionCounts;
    bool curvature = false;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--curvature")
            curvature = true;
        else
            directionCounts.push_back(std::atoi(argv[i]));
    }
    if (directionCounts.empty()) directionCounts = {16};
    TIFFSetWarningHandler(nullptr);  // the GeoTIFF tags are unknown to libtiff alone
    const int runs = bench::EnvNumber("SKY_BENCH_RUNS", 3), settle = bench::EnvNumber("SKY_BENCH_SETTLE", 20);
    const std::string base = std::getenv("SKY_BENCH_DIR") ? std::getenv("SKY_BENCH_DIR") : "/var/tmp";
    const std::string work = base + "/sky_run_bench." + std::to_string(getpid());
    std::filesystem::create_directories(work);
    const std::string dem = work + "/dem.tif";
    const std::string make = std::string(SAMPLE_MAPS_EXE) + " " + work + "/h.png " + work + "/t.png " +
                             std::to_string(size) + " " + dem + " >/dev/null";
    if (std::system(make.c_str()) != 0) return 1;

    std::printf(
        "| size | directions | read | horizons | ns/sample | the rest | whole run | decode | first touch | disk | "
        "floors | "
        "ratio | floors + horizons | ratio | peak MB | peak B/texel |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    const double texels = double(size) * size;
    for (const int directions : directionCounts) {
        std::vector<double> read, horizons, rest, whole, decode, touch, disk;
        long peakKb = 0;
        for (int run = 0; run < runs; ++run) {
            const std::string angles = work + "/angles.tif";
            sync();
            sleep(static_cast<unsigned>(settle));
            std::vector<std::string> command = {SKY_EXE,    dem,   "--directions", std::to_string(directions),
                                                "--angles", angles};
            if (curvature) command.push_back("--curvature");
            const ProcessResult r = RunProcess(command, 7200, {}, {});
            double stepRead = 0, stepHorizons = 0, stepRest = 0;
            if (r.exitCode != 0 || !bench::StepTimes(r.err, &stepRead, &stepHorizons, &stepRest)) {
                std::fprintf(stderr, "run failed (exit %d):\n%s\n", r.exitCode, r.err.c_str());
                return 1;
            }
            read.push_back(stepRead);
            horizons.push_back(stepHorizons);
            rest.push_back(stepRest);
            whole.push_back(r.seconds);
            peakKb = std::max(peakKb, r.maxRssKb);
            std::filesystem::remove(angles);

            const auto start = Clock::now();
            if (!DecodeTiff(dem)) return 1;
            decode.push_back(bench::Seconds(start));
            sleep(static_cast<unsigned>(settle));
            touch.push_back(bench::TouchInNewProcess(static_cast<std::size_t>(r.maxRssKb) * 1024));
            disk.push_back(bench::DiskFloor(work, {static_cast<std::size_t>(texels * 4 * directions)}));
        }
        const double floors = Median(decode) + Median(touch) + Median(disk);
        const double withHorizons = floors + Median(horizons);
        const double samples = bench::SamplesSwept(size, size, bench::EvenDirections(directions));
        const double nsPerSample = 1e9 * Median(horizons) * std::thread::hardware_concurrency() / samples;
        std::printf(
            "| %d | %d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %ld | "
            "%.1f |\n",
            size, directions, Median(read), Median(horizons), nsPerSample, Median(rest), Median(whole), Median(decode),
            Median(touch), Median(disk), floors, Median(whole) / floors, withHorizons, Median(whole) / withHorizons,
            peakKb / 1024, peakKb * 1024.0 / texels);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
