// The export companion's whole run as a user meets it: the built program, a new
// process after an idle spell, on the demo's terrain at the given size, one output
// kind a run. Beside it, floors measured in the same series: the program started
// and ended (--version), the horizon map's level 0 streamed from the page cache, the
// height map decoded by libpng alone (for the outputs that need it), and the disk
// taking the outputs' raw bytes (each file's samples, uncompressed); and the same
// run with --uncompressed, which writes the same samples unpacked. Prints a table of
// medians.
//
//   export_run_bench [size]                     default: 4096
// EXPORT_BENCH_RUNS runs (3), EXPORT_BENCH_DIR where files go (/var/tmp),
// EXPORT_BENCH_SETTLE idle seconds before each run (5), EXPORT_BENCH_ONLY the outputs
// whose label holds that text (all).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../../tests/support/run_process.h"
#include "bench_floors.h"

namespace {

using bench::Median;

// One output kind: its options (names relative to the work directory) and the raw
// bytes a texel of each of its files holds.
struct Output {
    const char* label;
    std::vector<std::string> options;
    std::vector<std::string> files;
    std::vector<double> rawBytesPerTexel;
    bool needsHeights;
};

const std::vector<Output> kOutputs = {
    {"previews (3 PNG)", {"-p", "p"}, {"p.red.png", "p.green.png", "p.both.png"}, {1, 1, 2}, false},
    {"height PNG", {"--height-png", "h.out.png"}, {"h.out.png"}, {1}, true},
    {"channels TIFF", {"-c", "c.tif"}, {"c.tif"}, {12}, false},
    {"channels EXR", {"-c", "c.exr"}, {"c.exr"}, {12}, false},
    {"angles TIFF", {"-a", "a.tif"}, {"a.tif"}, {16}, true},
    {"angles EXR", {"-a", "a.exr"}, {"a.exr"}, {16}, true},
    {"shade PNG", {"--shade", "s.png", "--sun", "5"}, {"s.png"}, {1}, true},
    {"shade TIFF", {"--shade", "s.tif", "--sun", "5"}, {"s.tif"}, {1}, true},
};

}  // namespace

int main(int argc, char** argv) {
    const int size = argc > 1 ? std::atoi(argv[1]) : 4096;
    const int runs = bench::EnvNumber("EXPORT_BENCH_RUNS", 3), settle = bench::EnvNumber("EXPORT_BENCH_SETTLE", 5);
    const std::string base = std::getenv("EXPORT_BENCH_DIR") ? std::getenv("EXPORT_BENCH_DIR") : "/var/tmp";
    const std::string work = base + "/export_run_bench." + std::to_string(getpid());
    std::filesystem::create_directories(work);
    const std::string heights = work + "/h.png", dds = work + "/m.dds", n = std::to_string(size);
    if (std::system(
            (std::string(SAMPLE_MAPS_EXE) + " " + heights + " " + work + "/t.png " + n + " >/dev/null").c_str()) != 0 ||
        RunProcess({UMBRASCOPE_EXE, "-H", heights, "-T", work + "/t.png", "-r", n, "-h", "600", "-s", "10000", "-z",
                    "0", "-o", dds},
                   600)
                .exitCode != 0) {
        std::fprintf(stderr, "export_run_bench: cannot make the maps\n");
        return 1;
    }
    const double texels = double(size) * size;
    std::printf(
        "| output (%d) | whole run | start | map read | height decode | disk, raw bytes | floors | ratio | "
        "run --uncompressed | ratio | raw MB | written MB | peak MB |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n",
        size);
    const char* only = std::getenv("EXPORT_BENCH_ONLY");
    for (const Output& output : kOutputs) {
        if (only != nullptr && std::string(output.label).find(only) == std::string::npos) continue;
        std::vector<double> whole, unpacked, start, read, decode, disk;
        double written = 0;
        long peakKb = 0;
        std::vector<std::size_t> raw;
        for (const double perTexel : output.rawBytesPerTexel)
            raw.push_back(static_cast<std::size_t>(perTexel * texels));
        for (int run = 0; run < runs; ++run) {
            std::vector<std::string> command = {EXPORT_EXE, dds};
            if (output.needsHeights)
                command.insert(command.end(), {"-H", heights, "-h", "600", "-s", "10000", "-z", "0"});
            // Every option's value is a file name in the work directory, but the sun's.
            for (std::size_t i = 0; i < output.options.size(); ++i)
                command.push_back(i % 2 == 0 || output.options[i - 1] == "--sun" ? output.options[i]
                                                                                 : work + "/" + output.options[i]);
            // Packed, then the same samples unpacked; only the packed run's sizes are kept.
            for (const bool packed : {true, false}) {
                std::vector<std::string> run = command;
                if (!packed) run.push_back("--uncompressed");
                sync();
                sleep(static_cast<unsigned>(settle));
                const ProcessResult r = RunProcess(run, 600);
                if (r.exitCode != 0) {
                    std::fprintf(stderr, "export_run_bench: %s failed (exit %d):\n%s\n", output.label, r.exitCode,
                                 r.err.c_str());
                    return 1;
                }
                (packed ? whole : unpacked).push_back(r.seconds);
                if (packed) {
                    peakKb = std::max(peakKb, r.maxRssKb);
                    written = 0;
                }
                for (const auto& file : output.files) {
                    if (packed) written += static_cast<double>(std::filesystem::file_size(work + "/" + file));
                    std::filesystem::remove(work + "/" + file);
                }
            }

            sync();
            sleep(static_cast<unsigned>(settle));
            start.push_back(RunProcess({EXPORT_EXE, "--version"}).seconds);
            read.push_back(bench::ReadFloor(dds, 128, static_cast<std::uint64_t>(texels * 16)));
            decode.push_back(output.needsHeights ? bench::DecodePngFloor(heights) : 0);
            disk.push_back(bench::DiskFloor(work, raw));
        }
        const double floors = Median(start) + Median(read) + Median(decode) + Median(disk);
        double rawBytes = 0;
        for (const std::size_t bytes : raw) rawBytes += static_cast<double>(bytes);
        std::printf("| %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.2f | %.3f | %.2f | %.0f | %.0f | %ld |\n",
                    output.label, Median(whole), Median(start), Median(read), Median(decode), Median(disk), floors,
                    Median(whole) / floors, Median(unpacked), Median(whole) / Median(unpacked), rawBytes / 1e6,
                    written / 1e6, peakKb / 1024);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
