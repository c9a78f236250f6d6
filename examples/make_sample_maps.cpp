// Writes the sample maps of the demo: a 16-bit height map of fractal terrain with
// ridges and valleys, and an 8-bit tree map whose forests keep to the lower, gentler
// slopes; on request also the heights as a georeferenced DEM in metres. Deterministic:
// the same files on every machine.
//
//   make_sample_maps <heights.png> <trees.png> [size [dem.tif]]
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "encode/tiff_encoder.h"

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
    const double bottom = Lattice(x0, y0 + 1, seed) + sx * (Lattice(x0 + 1, y0 + 1, seed) - Lattice(x0, y0 + 1, seed));
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
    png_set_IHDR(png, info, size, size, bitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
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

// The demo's terrain as GIS tools keep DEMs: float metres (600 m of relief, 10 km
// across) in a GeoTIFF projected to UTM zone 33 north, so that its cell size is the
// file's own.
bool WriteGeoDem(const char* path, int size, const std::vector<std::uint16_t>& heights) {
    encode::FloatChannels dem{
        static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size), {"elevation"}, {{}}};
    for (const std::uint16_t h : heights) dem.planes[0].push_back(static_cast<float>(h / 65535.0 * 600.0));
    encode::TiffExtras extras;
    extras.software = "make_sample_maps";
    const double cell = 10000.0 / size;
    extras.geo.pixelScale = {cell, cell, 0};
    extras.geo.tiepoints = {0, 0, 0, 500000.0, 5200000.0, 0};
    // Version 1.1.0, 3 keys: a projected model, pixels as areas, EPSG 32633.
    extras.geo.keyDirectory = {1, 1, 0, 3, 1024, 0, 1, 1, 1025, 0, 1, 1, 3072, 0, 1, 32633};
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!encode::EncodeFloatTiff(dem, &bytes, &why, extras).ok()) return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_sample_maps <heights.png> <trees.png> [size [dem.tif]]\n");
        return 2;
    }
    const int size = argc > 3 ? std::atoi(argv[3]) : 1024;
    if (size < 4 || size > 16384) return 2;

    std::vector<double> height(static_cast<std::size_t>(size) * size);
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) {
            const double x = c * 6.0 / size, y = r * 6.0 / size;
            // Ridged mountains where a broad mask rises, rolling fBm hills elsewhere;
            // the power curve flattens the valley floors.
            const double mountains = std::clamp(Fbm(x * 0.3, y * 0.3, 3, 99u) * 2.5 + 0.55, 0.0, 1.0);
            const double hills = 0.5 + Fbm(x, y, 9, 17u);
            const double h = 0.3 * hills + mountains * Ridges(x * 0.8, y * 0.8, 5u);
            height[static_cast<std::size_t>(r) * size + c] = std::pow(std::max(h, 0.0), 1.25);
        }
    const auto [lo, hi] = std::minmax_element(height.begin(), height.end());
    const double low = *lo, range = *hi - *lo;

    std::vector<std::uint16_t> heights(height.size()), trees(height.size());
    for (std::size_t i = 0; i < height.size(); ++i)
        heights[i] = static_cast<std::uint16_t>(std::lround((height[i] - low) / range * 65535));
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * size + c;
            const double h = (height[i] - low) / range;
            // Slope over a few texels, so that forests form stands rather than speckles.
            const int span = std::max(1, size / 256);
            const auto at = [&](int rr, int cc) {
                return height[static_cast<std::size_t>(std::clamp(rr, 0, size - 1)) * size +
                              std::clamp(cc, 0, size - 1)];
            };
            const double dx = at(r, c + span) - at(r, c - span), dy = at(r + span, c) - at(r - span, c);
            const double slope = std::hypot(dx, dy) / range * size / (2.0 * span);
            const double patches = Fbm(c * 16.0 / size, r * 16.0 / size, 5, 4242u);
            const bool forest = h > 0.04 && h < 0.35 && slope < 2.5 && patches > -0.08;
            trees[i] = forest ? 255 : 0;
        }

    if (!WritePng(argv[1], size, 16, heights) || !WritePng(argv[2], size, 8, trees) ||
        (argc > 4 && !WriteGeoDem(argv[4], size, heights))) {
        std::fprintf(stderr, "make_sample_maps: cannot write the maps\n");
        return 1;
    }
    return 0;
}
