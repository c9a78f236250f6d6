// Writes the sample maps of the demo: a 16-bit height map of fractal terrain with
// ridges and valleys, and an 8-bit tree map whose forests keep to the lower, gentler
// slopes. Deterministic: the same files on every machine.
//
//   make_sample_maps <heights.png> <trees.png> [size]
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Lattice(int x, int y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u + seed;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFFFF) / double(0xFFFFFF) * 2.0 - 1.0;  // -1 .. 1
}

double SmoothNoise(double x, double y, std::uint32_t seed) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = Lattice(x0, y0, seed) + sx * (Lattice(x0 + 1, y0, seed) - Lattice(x0, y0, seed));
    const double bottom =
        Lattice(x0, y0 + 1, seed) + sx * (Lattice(x0 + 1, y0 + 1, seed) - Lattice(x0, y0 + 1, seed));
    return top + sy * (bottom - top);
}

double Fbm(double x, double y, int octaves, std::uint32_t seed) {
    double sum = 0, amplitude = 0.5, frequency = 1;
    for (int i = 0; i < octaves; ++i, amplitude *= 0.5, frequency *= 2.03)
        sum += amplitude * SmoothNoise(x * frequency, y * frequency, seed + 1013u * i);
    return sum;
}

double Ridges(double x, double y, std::uint32_t seed) {
    double sum = 0, amplitude = 0.6, frequency = 1, weight = 1;
    for (int i = 0; i < 6; ++i, amplitude *= 0.5, frequency *= 2.1) {
        double ridge = 1.0 - std::fabs(SmoothNoise(x * frequency, y * frequency, seed + 7919u * i));
        ridge *= ridge * weight;
        weight = std::clamp(ridge * 2, 0.0, 1.0);
        sum += amplitude * ridge;
    }
    return sum;
}

bool WritePng(const char* path, int size, int bitDepth, const std::vector<std::uint16_t>& values) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, size, size, bitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(size) * (bitDepth / 8));
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c) {
            const std::uint16_t v = values[static_cast<std::size_t>(r) * size + c];
            if (bitDepth == 16) {
                row[c * 2] = static_cast<png_byte>(v >> 8);
                row[c * 2 + 1] = static_cast<png_byte>(v & 0xFF);
            } else {
                row[c] = static_cast<png_byte>(v);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_sample_maps <heights.png> <trees.png> [size]\n");
        return 2;
    }
    const int size = argc > 3 ? std::atoi(argv[3]) : 1024;
    if (size < 4 || size > 16384) return 2;

    std::vector<double> height(static_cast<std::size_t>(size) * size);
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) {
            const double x = c * 6.0 / size, y = r * 6.0 / size;
            const double mountains = std::clamp(Fbm(x * 0.35, y * 0.35, 3, 99u) * 2.2 + 0.35, 0.0, 1.0);
            height[static_cast<std::size_t>(r) * size + c] = 0.55 * Fbm(x, y, 9, 17u) + mountains * Ridges(x, y, 5u);
        }
    const auto [lo, hi] = std::minmax_element(height.begin(), height.end());
    const double low = *lo, range = *hi - *lo;

    std::vector<std::uint16_t> heights(height.size()), trees(height.size());
    for (std::size_t i = 0; i < height.size(); ++i) heights[i] = static_cast<std::uint16_t>(std::lround((height[i] - low) / range * 65535));
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * size + c;
            const double h = (height[i] - low) / range;
            const double dx = height[r * size + std::min(c + 1, size - 1)] - height[r * size + std::max(c - 1, 0)];
            const double dy = height[std::min(r + 1, size - 1) * size + c] - height[std::max(r - 1, 0) * size + c];
            const double slope = std::hypot(dx, dy) / range * size;
            const double patches = Fbm(c * 24.0 / size, r * 24.0 / size, 4, 4242u);
            const bool forest = h > 0.12 && h < 0.5 && slope < 6.0 && patches > -0.05;
            trees[i] = forest ? 255 : 0;
        }

    if (!WritePng(argv[1], size, 16, heights) || !WritePng(argv[2], size, 8, trees)) {
        std::fprintf(stderr, "make_sample_maps: cannot write the maps\n");
        return 1;
    }
    return 0;
}
