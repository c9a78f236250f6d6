#include "soak_maps.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Terrain: two ridges and a basin, in [0, 1].
double Terrain(double x, double y) {
    const double ridge = std::exp(-std::pow((x - 0.3) * 6.0, 2.0)) + 0.6 * std::exp(-std::pow((y - 0.7) * 5.0, 2.0));
    const double basin = -0.4 * std::exp(-(std::pow(x - 0.7, 2.0) + std::pow(y - 0.3, 2.0)) * 20.0);
    return std::clamp(0.3 + 0.5 * ridge + basin + 0.05 * std::sin(x * 23.0 + y * 17.0), 0.0, 1.0);
}

// Trees: stands where a second pattern is high.
double Forest(double x, double y) { return std::sin(x * 9.0) * std::cos(y * 7.0) + 0.2 * std::sin(x * 31.0 * y); }

std::string PgmBytes(unsigned w, unsigned h, unsigned maxval, bool trees) {
    std::string bytes = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n" + std::to_string(maxval) + "\n";
    for (unsigned r = 0; r < h; ++r)
        for (unsigned c = 0; c < w; ++c) {
            const double x = (c + 0.5) / w, y = (r + 0.5) / h;
            const double v = trees ? (Forest(x, y) > 0.3 ? 1.0 : 0.0) : Terrain(x, y);
            const auto k = static_cast<unsigned>(std::lround(v * maxval));
            if (maxval > 255) bytes += static_cast<char>(k >> 8);
            bytes += static_cast<char>(k & 0xFF);
        }
    return bytes;
}

// Grey PFM, little-endian, rows stored bottom-up. Tree maps straddle the threshold:
// 0.1f itself lies just above 0.1 and so is a tree.
std::string PfmBytes(unsigned n, bool trees) {
    std::string bytes = "Pf\n" + std::to_string(n) + " " + std::to_string(n) + "\n-1.0\n";
    for (unsigned r = n; r-- > 0;)
        for (unsigned c = 0; c < n; ++c) {
            const double x = (c + 0.5) / n, y = (r + 0.5) / n;
            float v = 0;
            if (trees) {
                const float levels[] = {0.0f, 0.09999999f, 0.1f, 0.5f, 1.0f};
                v = Forest(x, y) > 0.0 ? levels[(r * 7 + c * 3) % 5] : 0.0f;
            } else {
                v = static_cast<float>(Terrain(x, y) * 3.0 - 1.0);  // below zero too
            }
            char b[4];
            std::memcpy(b, &v, 4);
            bytes.append(b, 4);
        }
    return bytes;
}

void WritePng(const fs::path& path, unsigned n, bool trees) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path.string());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    // Heights: 16-bit grey. Trees: 8-bit RGB, the tree in red only.
    png_set_IHDR(png, info, n, n, trees ? 8 : 16, trees ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(trees ? n * 3 : n * 2);
    for (unsigned r = 0; r < n; ++r) {
        for (unsigned c = 0; c < n; ++c) {
            const double x = (c + 0.5) / n, y = (r + 0.5) / n;
            if (trees) {
                row[3 * c] = Forest(x, y) > 0.1 ? 200 : 20;
                row[3 * c + 1] = static_cast<png_byte>(c * 8);
                row[3 * c + 2] = static_cast<png_byte>(r * 8);
            } else {
                const auto k = static_cast<unsigned>(std::lround(Terrain(x, y) * 65535));
                row[2 * c] = static_cast<png_byte>(k >> 8);  // PNG stores big-endian words
                row[2 * c + 1] = static_cast<png_byte>(k & 0xFF);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

}  // namespace

MapSet WriteSoakMaps(const std::string& workDirectory) {
    const fs::path dir = fs::path(workDirectory) / "maps";
    fs::create_directories(dir / "my maps");
    fs::create_directories(dir / "folder.pgm");
    const std::string prefix = "../maps/";
    MapSet set;
    const auto add = [&](std::vector<MapFile>& list, const std::string& name) { list.push_back({prefix + name}); };

    WriteBytes(dir / "h16.pgm", PgmBytes(16, 16, 255, false));
    WriteBytes(dir / "h64.pfm", PfmBytes(64, false));
    WriteBytes(dir / "h24x8.pgm", PgmBytes(24, 8, 4095, false));
    WritePng(dir / "h13.png", 13, false);
    WriteBytes(dir / "my maps" / "h 8.pgm", PgmBytes(8, 8, 255, false));
    WriteBytes(dir / "h[1]=x.pgm", PgmBytes(12, 12, 65535, false));
    add(set.heightMaps, "h16.pgm");
    add(set.heightMaps, "h64.pfm");
    add(set.heightMaps, "h24x8.pgm");
    add(set.heightMaps, "h13.png");
    add(set.heightMaps, "my maps/h 8.pgm");  // the tool quotes blanks itself
    add(set.heightMaps, "h[1]=x.pgm");       // brackets and "=" need quotes

    WriteBytes(dir / "t16.pgm", PgmBytes(16, 16, 255, true));
    WriteBytes(dir / "t64.pfm", PfmBytes(64, true));
    WritePng(dir / "t32.png", 32, true);
    WriteBytes(dir / "t9x20.pgm", PgmBytes(9, 20, 255, true));
    add(set.treeMaps, "t16.pgm");
    add(set.treeMaps, "t64.pfm");
    add(set.treeMaps, "t32.png");
    add(set.treeMaps, "t9x20.pgm");

    WriteBytes(dir / "empty.pgm", "");
    std::string noise;
    for (unsigned i = 0; i < 300; ++i) noise += static_cast<char>((i * 2654435761u) >> 13);
    WriteBytes(dir / "noise.png", noise);
    const std::string whole = PgmBytes(16, 16, 255, false);
    WriteBytes(dir / "truncated.pgm", whole.substr(0, whole.size() / 2));
    WriteBytes(dir / "huge-claim.pgm", "P5\n100000 100000\n255\n" + std::string(64, '\x7f'));
    add(set.broken, "empty.pgm");
    add(set.broken, "noise.png");
    add(set.broken, "truncated.pgm");
    add(set.broken, "huge-claim.pgm");
    add(set.broken, "folder.pgm");  // a directory

    add(set.missing, "absent.pgm");
    add(set.missing, "no such dir/h.pgm");
    return set;
}
