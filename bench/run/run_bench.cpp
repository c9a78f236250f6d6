// The whole run as a user meets it: the built tool on the demo's sample maps (a
// 16-bit height PNG and an 8-bit tree PNG of n x n), each run a new process writing
// into a directory of its own. Each step's time is taken from when its "OK" line
// arrives. Beside it, floors measured in the same series: libpng decoding both
// maps, a new process touching as much memory as the run must hold (three level-0
// textures and the output's mip chain) on every core, and the disk taking the two
// files' bytes straight from memory. Prints a table of medians; "floors" is their
// sum, which a run that overlaps them can beat. Peak is the largest resident set of
// the tool's runs, whole and per texel of the output.
//
// On a virtual machine that hands freed memory back to its host, memory touched
// for the first time costs several times what recycled memory does, and freed
// memory turns fresh again within seconds. A user runs the tool once, on fresh
// memory: so the machine is left idle for RUN_BENCH_SETTLE seconds (20) before the
// run and before the first-touch floor, which otherwise flatter each other.
//
//   run_bench [size...]        default: 4096 8192
// RUN_BENCH_RUNS runs per size (3), RUN_BENCH_DIR where the files go (/var/tmp),
// RUN_BENCH_TOOL another build of the tool to time the same way, RUN_BENCH_SETTLE.
#include <fcntl.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../../tests/support/run_process.h"
#include "bench_floors.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Seconds;

// Decodes a PNG row by row with libpng alone; false on any failure.
bool DecodePng(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        std::vector<unsigned char> row(png_get_rowbytes(png, info));
        for (png_uint_32 y = 0; y < png_get_image_height(png, info); ++y) png_read_row(png, row.data(), nullptr);
        ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return ok;
}

std::size_t DdsBytes(std::size_t n) {
    std::size_t texels = 0;
    for (std::size_t s = n;; s = std::max<std::size_t>(1, s / 2)) {
        texels += s * s;
        if (s == 1) break;
    }
    return 128 + texels * 16;
}

constexpr int kStepCount = 6;  // load, mix heights, horizon, mix horizon, save, exit

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {4096, 8192};
    const int runs = std::getenv("RUN_BENCH_RUNS") ? std::atoi(std::getenv("RUN_BENCH_RUNS")) : 3;
    const std::string base = std::getenv("RUN_BENCH_DIR") ? std::getenv("RUN_BENCH_DIR") : "/var/tmp";
    const int settle = std::getenv("RUN_BENCH_SETTLE") ? std::atoi(std::getenv("RUN_BENCH_SETTLE")) : 20;
    const std::string tool = std::getenv("RUN_BENCH_TOOL") ? std::getenv("RUN_BENCH_TOOL") : UMBRASCOPE_EXE;
    const std::string work = base + "/run_bench." + std::to_string(getpid());
    std::filesystem::create_directories(work);

    std::printf(
        "| size | load | mix heights | horizon | mix horizon | save | exit | whole run | libpng both | "
        "first touch | disk | floors | ratio | peak MB | peak B/texel |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const int size : sizes) {
        const std::string heights = work + "/h.png", trees = work + "/t.png";
        const std::string make =
            std::string(SAMPLE_MAPS_EXE) + " " + heights + " " + trees + " " + std::to_string(size);
        if (std::system(make.c_str()) != 0) return 1;
        std::vector<double> step[kStepCount], whole, decode, touch, disk;
        long peakKb = 0;
        const std::size_t level0 = std::size_t(size) * size * 16;
        for (int run = 0; run < runs; ++run) {
            const std::string out = work + "/out" + std::to_string(run);
            std::filesystem::create_directories(out);
            sync();
            sleep(static_cast<unsigned>(settle));
            std::vector<Clock::time_point> marks;
            std::size_t seen = 0;
            const auto start = Clock::now();
            const ProcessResult r =
                RunProcess({tool, "-H", heights, "-T", trees, "-r", std::to_string(size), "-h", "600", "-s", "10000",
                            "-o", out + "/horizon_map.dds"},
                           3600, {}, [&](pid_t, const std::string& text) {
                               for (std::size_t at; (at = text.find("OK\n", seen)) != std::string::npos; seen = at + 3)
                                   marks.push_back(Clock::now());
                           });
            if (r.exitCode != 0 || marks.size() != 5) {
                std::fprintf(stderr, "run failed (exit %d):\n%s\n", r.exitCode, r.out.c_str());
                return 1;
            }
            marks.push_back(start +
                            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(r.seconds)));
            Clock::time_point previous = start;
            for (int s = 0; s < kStepCount; ++s) {
                step[s].push_back(std::chrono::duration<double>(marks[s] - previous).count());
                previous = marks[s];
            }
            whole.push_back(r.seconds);
            peakKb = std::max(peakKb, r.maxRssKb);
            std::filesystem::remove_all(out);

            auto t = Clock::now();
            if (!DecodePng(heights) || !DecodePng(trees)) return 1;
            decode.push_back(Seconds(t));
            sleep(static_cast<unsigned>(settle));
            touch.push_back(bench::TouchInNewProcess(3 * level0 + (DdsBytes(size) - 128 - level0)));
            disk.push_back(bench::DiskFloor(work, {DdsBytes(size), DdsBytes(size)}));
        }
        const double floors = Median(decode) + Median(touch) + Median(disk);
        std::printf("| %d |", size);
        for (auto& s : step) std::printf(" %.2f |", Median(s));
        std::printf(" %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %ld | %.1f |\n", Median(whole), Median(decode),
                    Median(touch), Median(disk), floors, Median(whole) / floors, peakKb / 1024,
                    peakKb * 1024.0 / (double(size) * size));
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
