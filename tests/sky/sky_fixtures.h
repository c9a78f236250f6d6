#pragma once
// What the tests of umbrascope-sky share: the program run as a user runs it and
// DEMs written as GIS tools write them.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>

#include "../export/export_fixtures.h"
#include "encode/tiff_encoder.h"

// umbrascope-sky with `args`, given `timeoutSeconds` to finish; `beforeExec` runs in
// the child.
inline ProcessResult RunSky(const std::vector<std::string>& args, int timeoutSeconds = 120,
                            const std::function<void()>& beforeExec = {}) {
    std::vector<std::string> line{std::string(UMBRASCOPE_SKY_EXE)};
    line.insert(line.end(), args.begin(), args.end());
    return RunProcess(line, timeoutSeconds, beforeExec);
}

// `args` with an "@" in each standing for `dir` and a slash.
inline std::vector<std::string> InScratch(const TempDir& dir, std::vector<std::string> args) {
    for (std::string& a : args)
        if (const auto at = a.find('@'); at != std::string::npos) a.replace(at, 1, dir.path() + "/");
    return args;
}

// A 16-bit DEM as GIS tools write it, heights k - 1000 for stored k, `voids` stored
// from texel 3 on.
inline void WriteInt16Dem(const std::string& path, std::uint32_t w, std::uint32_t h,
                          const std::vector<std::int16_t>& voids = {-32768}) {
    TiffImage tiff{w, h, 1, 16, 2};  // signed
    std::vector<std::int16_t> k(std::size_t{w} * h);
    for (std::size_t i = 0; i < k.size(); ++i) k[i] = static_cast<std::int16_t>((i * 7919) % 3000 - 1000);
    std::copy(voids.begin(), voids.end(), k.begin() + 3);
    tiff.data.resize(k.size() * 2);
    std::memcpy(tiff.data.data(), k.data(), tiff.data.size());
    WriteTiff(path, tiff);
}

// A float GeoTIFF DEM, projected (UTM 33N) or geographic (WGS 84), for WriteGeoDem,
// which returns the GeoTIFF tags it wrote.
struct GeoDem {
    std::uint32_t width = 16, height = 9;
    std::vector<float> heights{};  // packed rows; empty: (i * 37) % 50, with -500 at texel 5
    std::string noData = "-500";   // GDAL_NODATA; empty: none
    bool geographic = false;
    std::uint16_t unit = 0;  // the projection's linear unit (EPSG code), when given
    // GDAL's geotransform, as a tie point and pixel scale when north up, else a
    // matrix; none: 25 units a texel from 15.2, 5200000 (47.1 when geographic).
    std::optional<std::array<double, 6>> geotransform{};
};

inline encode::GeoTiffTags WriteGeoDem(const std::string& path, const GeoDem& d = {}) {
    encode::FloatChannels dem{d.width, d.height, {"h"}, {d.heights}};
    for (std::size_t i = 0; d.heights.empty() && i < std::size_t{d.width} * d.height; ++i)
        dem.planes[0].push_back(i == 5 ? -500.0f : static_cast<float>((i * 37) % 50));
    encode::TiffExtras extras;
    extras.gdalNoData = d.noData;
    const auto gt =
        d.geotransform.value_or(std::array<double, 6>{15.2, 25, 0, d.geographic ? 47.1 : 5200000.0, 0, -25});
    if (gt[1] > 0 && gt[2] == 0 && gt[4] == 0 && gt[5] < 0) {
        extras.geo.pixelScale = {gt[1], -gt[5], 0};
        extras.geo.tiepoints = {0, 0, 0, gt[0], gt[3], 0};
    } else {
        extras.geo.transformation = {gt[1], gt[2], 0, gt[0], gt[4], gt[5], 0, gt[3], 0, 0, 0, 0, 0, 0, 0, 1};
    }
    const std::uint16_t model = d.geographic ? 2 : 1, system = d.geographic ? 2048 : 3072,
                        code = d.geographic ? 4326 : 32633;
    extras.geo.keyDirectory = {1, 1, 0, 3, 1024, 0, 1, model, 1025, 0, 1, 1, system, 0, 1, code};
    if (d.unit != 0) {
        extras.geo.keyDirectory[3] = 4;  // ProjLinearUnitsGeoKey
        extras.geo.keyDirectory.insert(extras.geo.keyDirectory.end(), {3076, 0, 1, d.unit});
    }
    std::vector<std::uint8_t> bytes;
    std::string why;
    EXPECT_TRUE(encode::EncodeFloatTiff(dem, &bytes, &why, extras).ok()) << why;
    WriteBytes(path, bytes);
    return extras.geo;
}
