// Each output of the export companion made and written as the companion does
// (encoded in memory, or float files streamed into their file, written beside its
// name, flushed, renamed), packed as by
// default and with --uncompressed, against the
// disk's floor measured in the same process: the same number of bytes,
// uncompressed, written the same way from memory of their own. The maps are the
// demo's sample maps through the tool; each output kind is timed in a process of its
// own that reads them afresh, with nothing dirty in the page cache at either start.
// Reading the maps and computing the angles are not timed. Prints a table of medians.
//
//   export_bench [size] [directory] [runs]      default: 4096 /var/tmp 3
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "encode/compression.h"
#include "encode/exr_encoder.h"
#include "encode/float_tiff_stream.h"
#include "encode/grey_tiff_encoder.h"
#include "encode/png_encoder.h"
#include "encode/tiff_encoder.h"
#include "export/angle_maps.h"
#include "export/grey_preview.h"
#include "export/horizon_map_file.h"
#include "export/shaded_relief.h"
#include "image/load_image.h"
#include "outputs/atomic_write.h"

namespace {

using namespace exporter;
using Clock = std::chrono::steady_clock;

const char* const kKinds[] = {"previews (3 PNG)", "height PNG", "channels TIFF", "channels EXR",
                              "angles TIFF",      "angles EXR", "shade PNG",     "shade TIFF"};
constexpr horizon::HorizonSettings kTerrain{600.0f, 0.0f, 10000.0f};

double Seconds(const Clock::time_point& start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "export_bench: %s\n", what);
    std::exit(1);
}

encode::FloatChannels Planes(std::uint32_t w, std::uint32_t h, std::vector<std::string> names) {
    encode::FloatChannels channels{w, h, std::move(names), {}};
    channels.planes.resize(channels.names.size());
    return channels;
}

// One file to make: its raw size and how to encode it.
struct Job {
    std::string name;
    std::uint64_t rawBytes = 0;
    std::vector<std::uint8_t> file;
};

// Times one output kind in this process; prints "output floor raw file" in seconds and bytes.
int Child(int kind, encode::Compression packing, const std::string& dds, const std::string& png,
          const std::string& dir) {
    HorizonMap map;
    std::string why;
    if (!ReadHorizonMap(dds.c_str(), &map, &why).ok()) Fail("cannot read the map");
    const std::uint32_t w = map.width, h = map.height;
    const std::size_t texels = std::size_t{w} * h;
    std::vector<float> heights(texels);
    if (!image::LoadImageScaledRed(png.c_str(), w, h, heights.data()).ok()) Fail("cannot load the heights");
    AngleMaps angles;
    if (!ComputeAngleMaps(map, heights.data(), kTerrain, &angles).ok()) Fail("cannot compute the angles");
    encode::FloatChannels stored = Planes(w, h, {"R", "G", "B"});
    encode::FloatChannels degrees = Planes(w, h, {"forward", "backward", "forwardKind", "backwardKind"});
    for (std::size_t i = 0; i < texels; ++i) {
        for (int c = 0; c < 3; ++c) stored.planes[c].push_back(map.texels[i * 4 + c]);
        degrees.planes[0].push_back(angles.forward.degrees[i]);
        degrees.planes[1].push_back(angles.backward.degrees[i]);
        degrees.planes[2].push_back(static_cast<float>(angles.forward.kinds[i]));
        degrees.planes[3].push_back(static_cast<float>(angles.backward.kinds[i]));
    }
    const auto greyRaw = [](const encode::GreyImage& image) { return std::uint64_t{image.width} * image.height; };
    const encode::FloatChannels& floats = kind == 2 || kind == 3 ? stored : degrees;
    const std::uint64_t floatRaw = std::uint64_t{w} * h * floats.planes.size() * 4;

    sync();
    std::vector<Job> jobs;
    const auto start = Clock::now();
    std::vector<std::uint8_t> bytes;
    // Called once the encoder has filled `bytes`.
    const auto write = [&](const std::string& name, const status::Status& encoded, std::uint64_t raw) {
        if (!encoded.ok() || !outputs::WriteFile(dir + "/" + name, bytes.data(), bytes.size()).ok())
            Fail("cannot make an output");
        jobs.push_back({name, raw, std::move(bytes)});
        bytes = {};
    };
    if (kind == 0) {
        // As the companion makes them: the three files at once from the map's rows.
        const HorizonSamples samples(45, 8);
        std::vector<std::uint8_t> files[3];
        const status::Status made = encode::EncodeGreyPngTrio(
            w, h, 8,
            [&](std::uint32_t r, std::uint16_t* red, std::uint16_t* green) {
                HorizonRowSamples(map, samples, r, red, green);
            },
            &files[0], &files[1], &files[2], packing);
        const char* const names[3] = {"p.red.png", "p.green.png", "p.both.png"};
        for (int k = 0; k < 3; ++k) {
            bytes = std::move(files[k]);
            write(names[k], made, texels * (k == 2 ? 2 : 1));
        }
    } else if (kind == 1) {
        const encode::GreyImage image = HeightPicture(heights.data(), w, h, 1, 8);
        write("h.png", encode::EncodeGreyPng(image, &bytes, packing), greyRaw(image));
    } else if (kind == 2 || kind == 4) {
        // Streamed into its file as the companion writes it; only its size is kept.
        encode::FloatTiffStream stream;
        status::Status made = stream.open(dir + "/f.tif", w, h, floats.names, {}, &why, packing,
                                          encode::FloatTiffStream::Layout::Interleaved);
        if (made.ok()) made = stream.writeInterleaved(floats, {}, &why);
        if (!made.ok() || !stream.commit(&why).ok()) Fail("cannot make an output");
        jobs.push_back({"f.tif", floatRaw, {}});
    } else if (kind == 3 || kind == 5) {
        if (!encode::WriteFloatExrFile(dir + "/f.exr", floats, {}, packing).ok()) Fail("cannot make an output");
        jobs.push_back({"f.exr", floatRaw, {}});
    } else {
        const encode::GreyImage image = ShadePicture(map, heights.data(), kTerrain, Direction::Forward, 5, 1, 8);
        if (kind == 6)
            write("s.png", encode::EncodeGreyPng(image, &bytes, packing), greyRaw(image));
        else
            write("s.tif", encode::EncodeGreyTiff(image, &bytes, &why, {}, packing), greyRaw(image));
    }
    const double output = Seconds(start);

    // The floor: the raw bytes of every file, from memory written once beforehand.
    std::uint64_t raw = 0, file = 0;
    for (auto& job : jobs) {
        raw += job.rawBytes;
        file += job.file.empty() ? std::filesystem::file_size(dir + "/" + job.name) : job.file.size();
        job.file.assign(job.rawBytes, 0x3C);
    }
    sync();
    const auto floorStart = Clock::now();
    for (const auto& job : jobs)
        if (!outputs::WriteFile(dir + "/floor." + job.name, job.file.data(), job.file.size()).ok())
            Fail("cannot write the floor");
    const double floor = Seconds(floorStart);
    std::printf("%.4f %.4f %llu %llu\n", output, floor, static_cast<unsigned long long>(raw),
                static_cast<unsigned long long>(file));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "--one") == 0)
        return Child(std::atoi(argv[2]), std::atoi(argv[3]) ? encode::Compression::None : encode::Compression::Fast,
                     argv[4], argv[5], argv[6]);
    const int size = argc > 1 ? std::atoi(argv[1]) : 4096;
    const std::string base = argc > 2 ? argv[2] : "/var/tmp";
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    const std::string work = base + "/export_bench." + std::to_string(getpid());
    std::filesystem::create_directories(work);
    const std::string heights = work + "/h.png", trees = work + "/t.png", dds = work + "/m.dds";
    const std::string n = std::to_string(size);
    if (std::system((std::string(SAMPLE_MAPS_EXE) + " " + heights + " " + trees + " " + n + " >/dev/null").c_str()) !=
            0 ||
        std::system((std::string(UMBRASCOPE_EXE) + " -H " + heights + " -T " + trees + " -r " + n +
                     " -h 600 -s 10000 -z 0 -o " + dds + " </dev/null >/dev/null")
                        .c_str()) != 0)
        Fail("cannot make the maps");
    std::printf(
        "| output (%d) | raw MB | floor: raw bytes written (s) | packed MB | packed (s) | ratio | --uncompressed MB | "
        "--uncompressed (s) | ratio |\n"
        "|---|---|---|---|---|---|---|---|---|\n",
        size);
    for (int kind = 0; kind < 8; ++kind) {
        std::vector<double> output[2], floor;
        double raw = 0, file[2] = {0, 0};
        for (int run = 0; run < runs; ++run)
            for (int plain = 0; plain < 2; ++plain) {
                const std::string dir = work + "/out" + std::to_string(kind) + "." + std::to_string(run);
                std::filesystem::create_directories(dir);
                const std::string command = std::string(argv[0]) + " --one " + std::to_string(kind) + " " +
                                            std::to_string(plain) + " " + dds + " " + heights + " " + dir;
                FILE* child = popen(command.c_str(), "r");
                double o = 0, f = 0;
                if (child == nullptr || std::fscanf(child, "%lf %lf %lf %lf", &o, &f, &raw, &file[plain]) != 4)
                    Fail("no result");
                if (pclose(child) != 0) Fail("a run failed");
                output[plain].push_back(o);
                floor.push_back(f);
                std::filesystem::remove_all(dir);
            }
        const double bottom = Median(floor);
        std::printf("| %s | %.0f | %.3f | %.0f | %.3f | %.2f | %.0f | %.3f | %.2f |\n", kKinds[kind], raw / 1e6, bottom,
                    file[0] / 1e6, Median(output[0]), Median(output[0]) / bottom, file[1] / 1e6, Median(output[1]),
                    Median(output[1]) / bottom);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(work);
    return 0;
}
