// umbrascope-sky's clear-sky irradiation for one day or more (16 directions, half-hour steps)
// beside the horizons it rests on: the built program on the demo's terrain as a
// float GeoTIFF DEM, each run a new process. "the rest" is what follows the
// horizons: the irradiation and its file.
//
//   sun_run_bench [size...]       default: 1024 4096
// SKY_BENCH_RUNS runs (1), SKY_BENCH_DIR where files go (/var/tmp), SUN_BENCH_DAYS the
// days (172; 1,365 for a year). Processor seconds beside the wall's: the machine is shared.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../../tests/support/run_process.h"
#include "bench_floors.h"

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1024, 4096};
    const int runs = bench::EnvNumber("SKY_BENCH_RUNS", 1);
    const std::string base = std::getenv("SKY_BENCH_DIR") ? std::getenv("SKY_BENCH_DIR") : "/var/tmp";
    const std::string days = std::getenv("SUN_BENCH_DAYS") ? std::getenv("SUN_BENCH_DAYS") : "172";
    const std::string work = base + "/sun_run_bench." + std::to_string(getpid());
    std::filesystem::create_directories(work);
    std::printf(
        "| days | size | horizons s | irradiation s | whole run s | processor s | irradiation / horizons | peak MB |\n"
        "|---|---|---|---|---|---|---|---|\n");
    for (const int size : sizes) {
        const std::string dem = work + "/dem.tif";
        const std::string make = std::string(SAMPLE_MAPS_EXE) + " " + work + "/h.png " + work + "/t.png " +
                                 std::to_string(size) + " " + dem + " >/dev/null";
        if (std::system(make.c_str()) != 0) return 1;
        std::vector<double> horizons, rest, whole, processor;
        long peakKb = 0;
        for (int run = 0; run < runs; ++run) {
            const ProcessResult r =
                RunProcess({SKY_EXE, dem, "--irradiation", work + "/sun.tif", "--day", days}, 7200, {}, {});
            double read = 0, h = 0, t = 0;
            if (r.exitCode != 0 || !bench::StepTimes(r.err, &read, &h, &t)) {
                std::fprintf(stderr, "run failed (exit %d):\n%s\n", r.exitCode, r.err.c_str());
                return 1;
            }
            horizons.push_back(h);
            rest.push_back(t);
            whole.push_back(r.seconds);
            processor.push_back(r.processorSeconds);
            peakKb = std::max(peakKb, r.maxRssKb);
        }
        std::printf("| %s | %d | %.2f | %.2f | %.2f | %.2f | %.1f | %ld |\n", days.c_str(), size,
                    bench::Median(horizons), bench::Median(rest), bench::Median(whole), bench::Median(processor),
                    bench::Median(rest) / bench::Median(horizons), peakKb / 1024);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
