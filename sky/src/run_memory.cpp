#include "sky/run_memory.h"

#include <algorithm>
#include <cmath>

#include "encode/encoded_size.h"
#include "os/memory_budget.h"
#include "outputs/name_format.h"
#include "sky/day_sums.h"
#include "skyline/horizon_bands.h"
#include "viewer/page_data.h"

namespace sky {

namespace {

// Decoders' and encoders' own state, threads' stacks, the allocator's slack.
constexpr std::uint64_t kMarginBytes = 8u << 20;
// Rows an encoder of pictures holds at once, and its deflater's state.
constexpr std::uint64_t kWorkingRows = 64;
constexpr std::uint64_t kEncoderStateBytes = 4u << 20;
// An EXR block of rows packed on each of two threads.
constexpr std::uint64_t kExrBlockBytes = 4u << 20;
// The page's scripts and styles.
constexpr std::uint64_t kPageTemplateBytes = 64u << 10;

std::uint64_t Add(std::uint64_t a, std::uint64_t b) { return os::SaturatingAdd(a, b); }
std::uint64_t Mul(std::uint64_t a, std::uint64_t b) { return os::SaturatingMul(a, b); }

// What one output holds: `kept` from its start to the end, `taking` more while it
// takes a batch, `finishing` more while it makes its file.
struct OutputMemory {
    std::uint64_t kept = 0, taking = 0, finishing = 0;
};

// A float file's strips of 8 rows packed on two threads (the rows, the packed strip,
// a row of words each) and their compressors.
std::uint64_t FloatStripBytes(std::uint64_t rowBytes) { return Add(Mul(rowBytes, 2 * 17), 2 * kEncoderStateBytes); }

// A float file made whole in memory: the file, and the rows being packed.
std::uint64_t FloatFileBytes(const std::string& path, std::uint64_t texels, std::uint32_t width, std::uint32_t height,
                             std::uint64_t planes) {
    const std::uint64_t raw = Mul(Mul(texels, planes), 4), rowBytes = Mul(Mul(width, planes), 4);
    const std::uint64_t packing = outputs::FloatFormatOf(path) == outputs::FloatFormat::Exr
                                      ? Mul(std::min(raw, std::max(rowBytes, kExrBlockBytes)), 5)
                                      : FloatStripBytes(rowBytes);
    return Add(encode::EncodedBytesBound(raw, height), Add(packing, Mul(height, 8)));
}

// A grey picture's file: its bound, the bottom half deflated apart until joined,
// the encoder's rows and state.
std::uint64_t PictureFileBytes(std::uint64_t texels, std::uint32_t width, std::uint32_t height, int bits) {
    const std::uint64_t sampleBytes = bits == 16 ? 2 : 1;
    const std::uint64_t raw = Add(Mul(texels, sampleBytes), height);
    const std::uint64_t bound = encode::EncodedBytesBound(raw, height);
    return Add(Add(bound, bound / 2), Add(Mul(Mul(width, sampleBytes), kWorkingRows), kEncoderStateBytes));
}

// A raster written through GDAL a band at a time: the band in GDAL's block cache
// and its tiles on their way through the compressors.
std::uint64_t GdalBandBytes(std::uint64_t band) { return Add(Mul(band, 2), 2 * kEncoderStateBytes); }

// Whether our own OpenEXR encoder writes `path` (no driver given, a .exr name).
bool OwnExr(const SkyOptions& o, const std::string& path) {
    return o.outputDriver.empty() && outputs::FloatFormatOf(path) == outputs::FloatFormat::Exr;
}

// The most bands the engine output keeps: those of slices not yet complete, the
// batch just taken included.
std::uint64_t EnginePendingBands(const std::vector<std::vector<std::size_t>>& batches, std::size_t bands) {
    std::vector<bool> in(bands, false);
    std::uint64_t pending = 0, most = 0;
    for (const auto& batch : batches) {
        for (std::size_t k : batch) in[k] = true;
        pending += batch.size();
        most = std::max(most, pending);
        for (std::size_t s = 0; s + 3 < bands; s += 4)
            if (in[s] && in[s + 1] && in[s + 2] && in[s + 3]) {
                in[s] = in[s + 1] = in[s + 2] = in[s + 3] = false;
                pending -= 4;
            }
    }
    return most;
}

std::vector<OutputMemory> OutputsMemory(const SkyOptions& o, std::uint32_t width, std::uint32_t height,
                                        const std::vector<skyline::LatticeDirection>& directions) {
    const std::uint64_t texels = Mul(width, height), band = Mul(texels, 4), n = directions.size();
    std::vector<OutputMemory> outputs;
    if (!o.anglesFile.empty()) {
        if (OwnExr(o, o.anglesFile))
            outputs.push_back({Mul(band, n), 0, FloatFileBytes(o.anglesFile, texels, width, height, n)});
        else  // each band into the file as it comes
            outputs.push_back({0, GdalBandBytes(band), 0});
    }
    if (!o.svfFile.empty()) {
        const std::uint64_t sums = Mul(texels, o.svfModel == skyline::SvfModel::Sloped ? 24 : 8);
        outputs.push_back({sums, 0,
                           Add(band, OwnExr(o, o.svfFile) ? FloatFileBytes(o.svfFile, texels, width, height, 1)
                                                          : GdalBandBytes(band))});
    }
    if (!o.shadeFile.empty()) {  // the two bands around the sun; the picture, two bytes a texel
        const bool png = outputs::FloatFormatOf(o.shadeFile) != outputs::FloatFormat::Tiff;
        const std::uint64_t file =
            png ? PictureFileBytes(texels, width, height, o.shadeBits) : GdalBandBytes(Mul(texels, o.shadeBits / 8));
        outputs.push_back({Mul(band, std::min<std::uint64_t>(n, 2)), 0, Add(Mul(texels, 2), file)});
    }
    if (!o.engineFile.empty()) {
        // A slice's level 0 at four floats a texel beside the level halved from it,
        // and a piece of halves.
        const std::uint64_t pending = EnginePendingBands(skyline::HorizonBatchOrder(directions), directions.size());
        outputs.push_back({Mul(band, pending), Add(Mul(texels, 20), 2u << 20), 0});
    }
    if (!o.viewerFile.empty()) {
        // An elevation and a code a direction for each point, in vectors that may hold
        // twice the codes; the page grows by doubling, so up to three times its text
        // (base64 of the codes) are held while it is made.
        const viewer::PageGrid grid = viewer::GridFor(width, height, o.viewerSize);
        const std::uint64_t points = Mul(grid.columns, grid.rows);
        const std::uint64_t text = Add(kPageTemplateBytes, Mul(Mul(Mul(points, 2), n + 1) / 3 + 1, 4) + Mul(n, 256));
        outputs.push_back({Mul(points, Add(4, Mul(n, 4))), 0, Add(Mul(text, 3), Mul(points, 4))});
    }
    if (!o.irradiationFile.empty() || !o.sunHoursFile.empty() || !o.shadowMasksFile.empty()) {
        // Every band; then the sloped sky-view factor, the irradiation's four planes and
        // the sun hours' one, and the file made of them: through GDAL a band at a time,
        // our own OpenEXR whole. Masks are made a time at a time into GDAL's file;
        // OpenEXR holds them all.
        std::uint64_t planes = 0, days = 0;
        if (!o.irradiationFile.empty()) planes += 4;
        if (!o.sunHoursFile.empty()) planes += 1;
        for (const auto& [file, bands] : {std::pair{&o.irradiationFile, 4}, {&o.sunHoursFile, 1}})
            if (!file->empty())
                days = std::max(
                    days, OwnExr(o, *file) ? FloatFileBytes(*file, texels, width, height, bands) : GdalBandBytes(band));
        days = planes == 0 ? 0 : Add(Mul(texels, 4 * (planes + 1)), days);
        const std::uint64_t masks = o.shadowMasksFile.empty()      ? 0
                                    : OwnExr(o, o.shadowMasksFile) ? Mul(band, o.times.size() + 1)
                                                                   : Add(band, GdalBandBytes(band));
        outputs.push_back({Mul(band, n), 0, std::max(days, masks)});
    }
    return outputs;
}

}  // namespace

std::uint64_t RunPeakBytes(const SkyOptions& o, std::uint32_t width, std::uint32_t height,
                           const std::vector<skyline::LatticeDirection>& directions, unsigned threads) {
    const std::uint64_t texels = Mul(width, height);
    const std::uint64_t dem = Mul(texels, sizeof(double));
    // The loader decodes four floats a texel, then makes the doubles from them.
    const std::uint64_t loading = Add(Mul(texels, 4 * sizeof(float)), dem);

    std::uint64_t kept = 0, taking = 0, finishing = 0;
    for (const OutputMemory& output : OutputsMemory(o, width, height, directions)) {
        kept = Add(kept, output.kept);
        taking = std::max(taking, output.taking);
        finishing = std::max(finishing, output.finishing);
    }
    std::uint64_t batch = 0;
    for (const auto& b : skyline::HorizonBatchOrder(directions)) batch = std::max<std::uint64_t>(batch, b.size());
    const std::uint64_t sweeping =
        Add(Mul(Mul(texels, 4), batch), Add(skyline::HorizonWorkBytes(width, height, directions, threads), taking));
    const std::uint64_t afterLoading = Add(Add(dem, kept), std::max(sweeping, finishing));
    return Add(std::max(loading, afterLoading), kMarginBytes);
}

}  // namespace sky

namespace sky {

namespace {

// Bytes a DEM location holds: PROJ's lattice (a point every 16 rows and columns and
// the last, three doubles each) and a located row per thread.
std::uint64_t LocationBytes(const SkyOptions& o, std::uint32_t width, std::uint32_t height, unsigned threads) {
    if (o.irradiationFile.empty() && o.sunHoursFile.empty() && o.shadowMasksFile.empty()) return 0;
    // The days' sums locate a block's rows at once.
    const std::uint64_t rows = Mul(Mul(Mul(threads, width), 3 * sizeof(double)), kDayBlockRows);
    if (o.latitude) return rows;
    return Add(rows, Mul(Mul(width / 16 + 2, height / 16 + 2), 3 * sizeof(double)));
}

// The core sides tried, largest first: below the DEM's longer side.
std::vector<std::uint32_t> CoreSides(std::uint32_t width, std::uint32_t height) {
    const std::uint32_t longer = std::max(width, height);
    std::vector<std::uint32_t> sides;
    for (std::uint32_t c = (longer - 1) / 256 * 256; c >= 256; c -= 256) sides.push_back(c);
    for (std::uint32_t c : {128u, 64u})
        if (c < longer) sides.push_back(c);
    return sides;
}

}  // namespace

Halo HaloOf(double maxDistance, double cellX, double cellY) {
    const auto cells = [&](double cell) {
        const double n = std::floor(maxDistance / std::fabs(cell)) + 1;
        return n >= 4e9 ? std::uint32_t{4000000000u} : static_cast<std::uint32_t>(n);
    };
    return {cells(cellY), cells(cellX)};
}

std::uint64_t TiledRunPeakBytes(const SkyOptions& o, std::uint32_t width, std::uint32_t height, std::uint32_t core,
                                Halo halo, const std::vector<skyline::LatticeDirection>& directions, unsigned threads) {
    // The days' sums widen a core to whole blocks of the DEM.
    const bool daily = !o.irradiationFile.empty() || !o.sunHoursFile.empty();
    const auto side = [&](std::uint32_t core, std::uint32_t halo, std::uint32_t block, std::uint32_t whole) {
        const std::uint64_t widened = daily ? 2 * (block - 1) : 0;
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(whole, core + widened + 2ull * halo));
    };
    const std::uint64_t tile = RunPeakBytes(o, side(core, halo.columns, kDayBlockColumns, width),
                                            side(core, halo.rows, kDayBlockRows, height), directions, threads);
    return Add(Add(tile, kTileBlockCacheBytes), LocationBytes(o, width, height, threads));
}

std::uint32_t CoreThatFits(const SkyOptions& o, std::uint32_t width, std::uint32_t height, Halo halo,
                           const std::vector<skyline::LatticeDirection>& directions, unsigned threads,
                           FitsInMemory fits) {
    for (std::uint32_t core : CoreSides(width, height))
        if (fits(TiledRunPeakBytes(o, width, height, core, halo, directions, threads))) return core;
    return 0;
}

double MaxDistanceThatFits(const SkyOptions& o, std::uint32_t width, std::uint32_t height, double cellX, double cellY,
                           const std::vector<skyline::LatticeDirection>& directions, unsigned threads,
                           FitsInMemory fits) {
    const std::vector<std::uint32_t> sides = CoreSides(width, height);
    if (sides.empty()) return 0;
    // Tiles of a reasonable size: cores of 512 at least and twice the halo, so that
    // the halos' work is at most thrice the cores'.
    const auto runs = [&](double d) {
        const Halo halo = HaloOf(d, cellX, cellY);
        const std::uint64_t wanted = std::max<std::uint64_t>(512, 2ull * std::max(halo.rows, halo.columns));
        const std::uint64_t whole = (wanted + 255) / 256 * 256;  // GeoTIFF blocks
        const auto core = static_cast<std::uint32_t>(std::min<std::uint64_t>(sides.front(), whole));
        const std::uint64_t peak = TiledRunPeakBytes(o, width, height, core, halo, directions, threads);
        // An eighth to spare: the memory available moves between this run and the next.
        return fits(Add(peak, peak / 8));
    };
    // Whole metres, the largest that runs: beyond the map's diagonal a halo adds nothing.
    double low = 0, high = std::ceil(std::hypot(width * std::fabs(cellX), height * std::fabs(cellY)));
    if (!runs(1)) return 0;
    low = 1;
    while (high - low > 1) {
        const double mid = std::floor((low + high) / 2);
        (runs(mid) ? low : high) = mid;
    }
    if (runs(high)) low = high;
    const double unit = std::pow(10.0, std::max(0.0, std::floor(std::log10(low)) - 1));
    return std::floor(low / unit) * unit;
}

}  // namespace sky
