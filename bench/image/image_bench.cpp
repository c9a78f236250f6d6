// Loading an 8192 x 8192 16-bit grey PNG shrunk to 4096 x 4096, against libpng
// decoding the same file alone. The PNG (fractal terrain) is made in a temporary
// directory and removed afterwards.
#include <png.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/load_image.h"

namespace {

constexpr std::uint32_t kSize = 8192;
constexpr std::uint32_t kTarget = 4096;
constexpr int kRuns = 5;

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/image-bench-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Diamond-square on a (2^k + 1)^2 grid: terrain-like detail at every scale.
std::vector<std::uint16_t> FractalTerrain(std::uint32_t size) {
    const std::uint32_t n = size + 1;
    std::vector<float> h(std::size_t{n} * n, 0.0f);
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> jitter(-1.0f, 1.0f);
    const auto at = [&](std::uint32_t x, std::uint32_t y) -> float& { return h[std::size_t{y} * n + x]; };
    float amplitude = 1.0f;
    for (std::uint32_t step = size; step > 1; step /= 2, amplitude *= 0.55f) {
        const std::uint32_t half = step / 2;
        for (std::uint32_t y = half; y < n; y += step) {
            for (std::uint32_t x = half; x < n; x += step) {
                at(x, y) = (at(x - half, y - half) + at(x + half, y - half) + at(x - half, y + half) +
                            at(x + half, y + half)) *
                               0.25f +
                           amplitude * jitter(random);
            }
        }
        for (std::uint32_t y = 0; y < n; y += half) {
            for (std::uint32_t x = (y / half) % 2 == 0 ? half : 0; x < n; x += step) {
                float sum = 0;
                int count = 0;
                if (x >= half) sum += at(x - half, y), ++count;
                if (x + half < n) sum += at(x + half, y), ++count;
                if (y >= half) sum += at(x, y - half), ++count;
                if (y + half < n) sum += at(x, y + half), ++count;
                at(x, y) = sum / static_cast<float>(count) + amplitude * jitter(random);
            }
        }
    }
    const auto [lo, hi] = std::minmax_element(h.begin(), h.end());
    const float scale = 65535.0f / (*hi - *lo);
    std::vector<std::uint16_t> samples(std::size_t{size} * size);
    for (std::uint32_t y = 0; y < size; ++y) {
        for (std::uint32_t x = 0; x < size; ++x) {
            samples[std::size_t{y} * size + x] = static_cast<std::uint16_t>(std::lround((at(x, y) - *lo) * scale));
        }
    }
    return samples;
}

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

bool WriteRows(png_structp png, png_infop info, std::FILE* file, png_bytepp rows, std::uint32_t size) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, size, size, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    png_set_swap(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

bool WriteTerrainPng(const std::string& path, std::uint32_t size) {
    std::vector<std::uint16_t> samples = FractalTerrain(size);
    std::vector<png_bytep> rows(size);
    for (std::uint32_t y = 0; y < size; ++y) {
        rows[y] = reinterpret_cast<png_bytep>(samples.data() + std::size_t{y} * size);
    }
    FilePtr file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnError, &OnWarning);
    png_infop info = png_create_info_struct(png);
    const bool written = WriteRows(png, info, file.get(), rows.data(), size);
    png_destroy_write_struct(&png, &info);
    return written;
}

// libpng alone: the same transforms the loader asks for (16-bit samples in native
// byte order), each row into `rows` (one row buffer, or a whole image).
bool DecodeRows(png_structp png, png_infop info, std::FILE* file, std::uint8_t* out, std::size_t stride) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_swap(png);
    png_read_update_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, out + y * stride, nullptr);
    png_read_end(png, nullptr);
    return true;
}

bool DecodeWithLibpng(const std::string& path, std::vector<std::uint8_t>& out, bool wholeImage) {
    FilePtr file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnError, &OnWarning);
    png_infop info = png_create_info_struct(png);
    const std::size_t rowBytes = std::size_t{kSize} * 2;
    const bool decoded = DecodeRows(png, info, file.get(), out.data(), wholeImage ? rowBytes : 0);
    png_destroy_read_struct(&png, &info, nullptr);
    return decoded;
}

double MedianSeconds(const std::function<bool()>& run) {
    std::vector<double> seconds;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run()) return -1.0;
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

}  // namespace

int main() {
    TempDir dir;
    if (dir.path().empty()) {
        std::fprintf(stderr, "cannot make a temporary directory\n");
        return 1;
    }
    const std::string path = dir.path() + "/terrain.png";
    std::printf("Making an %u x %u 16-bit grey PNG of fractal terrain...\n", kSize, kSize);
    if (!WriteTerrainPng(path, kSize)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    const auto fileBytes = std::filesystem::file_size(path);

    std::vector<std::uint8_t> image(std::size_t{kSize} * kSize * 2);
    std::vector<float> texels(std::size_t{kTarget} * kTarget * 4, 0.0f);
    const double rowOnly = MedianSeconds([&] { return DecodeWithLibpng(path, image, false); });
    const double whole = MedianSeconds([&] { return DecodeWithLibpng(path, image, true); });
    const double load =
        MedianSeconds([&] { return image::LoadImageScaled(path.c_str(), kTarget, kTarget, texels.data()).ok(); });
    if (rowOnly < 0 || whole < 0 || load < 0) {
        std::fprintf(stderr, "a decode failed\n");
        return 1;
    }

    std::printf("\nPNG %u x %u, 16-bit grey, %.1f MB; median of %d runs\n\n", kSize, kSize,
                static_cast<double>(fileBytes) / 1e6, kRuns);
    std::printf("%-52s %10s %8s\n", "", "seconds", "ratio");
    std::printf("%-52s %10.3f %8.2f\n", "libpng decode, rows into one buffer", rowOnly, 1.0);
    std::printf("%-52s %10.3f %8.2f\n", "libpng decode, whole image in memory", whole, whole / rowOnly);
    std::printf("%-52s %10.3f %8.2f\n", "LoadImageScaled to 4096 x 4096 float RGBA", load, load / rowOnly);
    std::printf("\nGoal: LoadImageScaled within 2x of libpng alone: %s\n", load <= 2.0 * rowOnly ? "met" : "NOT met");
    return 0;
}
