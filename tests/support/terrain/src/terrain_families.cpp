#include "terrain/terrain_families.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace horizon::testing {
namespace {

std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

double Unit(std::uint64_t x) { return static_cast<double>(Mix(x) >> 11) * 0x1.0p-53; }

double Lattice(std::int64_t ix, std::int64_t iy, int octave, std::uint64_t seed) {
    return Unit(seed * 0x9E3779B97F4A7C15ULL + static_cast<std::uint64_t>(ix) * 0x632BE59BD9B4E019ULL +
                static_cast<std::uint64_t>(iy) * 0x85157AF5ULL + static_cast<std::uint64_t>(octave) * 0x1F1F1F1FULL);
}

// Value noise summed over octaves, in [0, 1).
double Fbm(double x, double y, int octaves, std::uint64_t seed) {
    double sum = 0.0, amplitude = 0.5, total = 0.0;
    for (int o = 0; o < octaves; ++o) {
        const double fx = std::floor(x), fy = std::floor(y);
        const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
        double tx = x - fx, ty = y - fy;
        tx = tx * tx * (3 - 2 * tx);
        ty = ty * ty * (3 - 2 * ty);
        const double a = Lattice(ix, iy, o, seed), b = Lattice(ix + 1, iy, o, seed);
        const double c = Lattice(ix, iy + 1, o, seed), d = Lattice(ix + 1, iy + 1, o, seed);
        sum += amplitude * ((a * (1 - tx) + b * tx) * (1 - ty) + (c * (1 - tx) + d * tx) * ty);
        total += amplitude;
        amplitude *= 0.5;
        x *= 2.0;
        y *= 2.0;
    }
    return sum / total;
}

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() { return Mix(state_ += 0x9E3779B97F4A7C15ULL); }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }

private:
    std::uint64_t state_;
};

float FbmAt(std::uint32_t r, std::uint32_t c, std::uint32_t size, std::uint64_t seed) {
    // Features of about a sixteenth of the map, detail down to the texel.
    int octaves = 1;
    while ((16u << octaves) < size * 2 && octaves < 12) ++octaves;
    const double scale = 8.0 / size;
    return static_cast<float>(Fbm(c * scale, r * scale, octaves + 1, seed));
}

}  // namespace

std::string_view Name(Terrain terrain) {
    switch (terrain) {
        case Terrain::Fbm8: return "fBm 8-bit";
        case Terrain::Fbm16: return "fBm 16-bit";
        case Terrain::FbmTrees: return "fBm + trees";
        case Terrain::Plane: return "plane";
        case Terrain::Bowl: return "bowl";
        case Terrain::Ridge: return "ridge";
        case Terrain::Ramp: return "ramp at 0";
        case Terrain::RoundedRamp: return "rounded ramp";
        case Terrain::Terraces: return "terraces";
        case Terrain::Spikes: return "spikes";
        case Terrain::Specials: return "NaN/inf";
        case Terrain::Subnormal: return "subnormal";
    }
    return "?";
}

HorizonSettings SettingsFor(Terrain terrain) {
    if (terrain == Terrain::Ramp || terrain == Terrain::RoundedRamp) return {100.0f, -50.0f, 5000.0f};
    return kDefaultSettings;
}

std::vector<float> MakeHeights(Terrain terrain, std::uint32_t width, std::uint32_t height, std::uint64_t seed,
                               float treeHeightScale) {
    std::vector<float> texels(std::size_t{width} * height * 4, 7.0f);
    Random random(seed);
    const std::uint32_t size = width > height ? width : height;
    const double slopeA = 1 + random.below(5), slopeB = random.below(3);
    const float inf = std::numeric_limits<float>::infinity();
    for (std::uint32_t r = 0; r < height; ++r) {
        for (std::uint32_t c = 0; c < width; ++c) {
            float h = 0.0f;
            switch (terrain) {
                case Terrain::Fbm8:
                case Terrain::FbmTrees:
                    h = static_cast<float>(std::round(FbmAt(r, c, size, seed) * 255.0) / 255.0);
                    if (terrain == Terrain::FbmTrees && random.below(10) == 0)
                        h = static_cast<float>(static_cast<double>(h) + 4.0 / static_cast<double>(treeHeightScale));
                    break;
                case Terrain::Fbm16:
                    h = static_cast<float>(std::round(FbmAt(r, c, size, seed) * 65535.0) / 65535.0);
                    break;
                case Terrain::Plane: h = static_cast<float>((slopeA * r + slopeB * c) * 0x1.0p-14); break;
                case Terrain::Bowl: {
                    const double dr = r - height / 2.0, dc = c - width / 2.0;
                    h = static_cast<float>((dr * dr + dc * dc) / (double(size) * size));
                    break;
                }
                case Terrain::Ridge:  // exact: steps of 2^-14 on both flanks
                    h = static_cast<float>((2.0 * height - std::fabs(2.0 * r - height) * slopeA + c) * 0x1.0p-14);
                    break;
                case Terrain::Ramp: h = static_cast<float>(r * 0x1.0p-14 + 0.5 - height * 0x1.0p-15); break;
                case Terrain::RoundedRamp: h = static_cast<float>(r) / static_cast<float>(height) + 0.5f / 3.0f; break;
                case Terrain::Terraces:
                    h = static_cast<float>(random.below(4)) * 0.25f + static_cast<float>((r / 3) % 2);
                    break;
                case Terrain::Spikes:
                    h = ((r + c) % 2 == 0 ? 1.0f : 0.0f) + static_cast<float>(random.below(3)) * 0.125f;
                    break;
                case Terrain::Specials: {
                    h = FbmAt(r, c, size, seed);
                    const std::uint32_t pick = random.below(40);
                    if (pick == 0) h = std::numeric_limits<float>::quiet_NaN();
                    if (pick == 1) h = inf;
                    if (pick == 2) h = -inf;
                    if (pick == 3) h = -0.0f;
                    if (pick == 4) h = 1e-40f;
                    break;
                }
                case Terrain::Subnormal:
                    h = static_cast<float>(random.below(64)) * std::numeric_limits<float>::denorm_min() *
                        static_cast<float>(1 + r % 5);
                    break;
            }
            texels[(std::size_t{r} * width + c) * 4] = h;
        }
    }
    return texels;
}

}  // namespace horizon::testing
