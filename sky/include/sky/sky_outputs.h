#pragma once
// The files umbrascope-sky writes, each made from the bands as they come and
// written atomically.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "encode/exr_encoder.h"
#include "sky/dem.h"
#include "sky/float_raster.h"
#include "skyline/derived_products.h"
#include "status/status.h"

namespace sky {

constexpr const char* kSkyProgram = "umbrascope-sky";

// outputs::ReportFailure in this program's name.
void ReportFailure(std::FILE* err, const std::string& what, status::Code code, const std::string& why = "");

// `channels` as an OpenEXR by our own encoder, written atomically at `path` ("wrote
// PATH" on `out`); a failure said on `err` and returned.
[[nodiscard]] status::Status WriteOwnExr(const std::string& path, const encode::FloatChannels& channels, std::FILE* out,
                                         std::FILE* err);

// An azimuth as the outputs name it: two decimals.
std::string Degrees(double azimuth);

// The azimuths as the outputs' AZIMUTHS item lists them.
std::string AzimuthList(const std::vector<double>& azimuths);

// The sky-view factor model as the SVF_MODEL item names it.
const char* SvfModelName(skyline::SvfModel model);

// What every output is made from: the DEM (its georeferencing goes into the float
// files), its cells in metres and the azimuths used, one per band.
struct OutputSource {
    const Dem& dem;
    double cellX, cellY;  // signed as AzimuthOf takes them: how the grid lies on the map
    const std::vector<double>& azimuths;
    const RasterOutputFormat& format;  // of the float outputs
};

// Angle bands' names (OpenEXR's channels) and descriptions, one per azimuth.
struct AngleNames {
    std::vector<std::string> names, descriptions;
};
AngleNames AngleNamesOf(const OutputSource& source);

// Opens `file` at `path` for the angle bands of `source`: their descriptions, the
// azimuths and, in a TIFF's image description, their names as OpenEXR's channels.
// RasterOutputFile::open's result.
status::Status OpenAngleRaster(RasterOutputFile& file, const std::string& path, const OutputSource& source,
                               std::FILE* err);
// The same for the one band of the sky-view factor of `model`.
status::Status OpenSkyViewRaster(RasterOutputFile& file, const std::string& path, const OutputSource& source,
                                 skyline::SvfModel model, std::FILE* err);

// An output made from the bands as they are computed, holding only what it must.
// Each call returns Ok, or reports its own failure on `err` and returns its
// status (OutOfMemory among them); the file is then left as it was. Exhausted
// memory may also escape as std::bad_alloc.
class BandOutput {
public:
    virtual ~BandOutput() = default;
    // Before the first band: starts the file where it is written as it goes.
    [[nodiscard]] virtual status::Status start(std::FILE* err) = 0;
    // One batch of ComputeHorizonBatches: `directions` index the source's azimuths.
    [[nodiscard]] virtual status::Status take(const std::vector<std::size_t>& directions,
                                              const std::vector<std::vector<float>>& bands, std::FILE* err) = 0;
    // After every band: writes the rest and puts the file in place ("wrote NAME" on `out`).
    [[nodiscard]] virtual status::Status finish(std::FILE* out, std::FILE* err) = 0;
};

// The angle bands (through GDAL with band descriptions, no data and georeferencing,
// each band written as it comes; .exr, whose line blocks mix the bands, from all
// bands kept until the end).
[[nodiscard]] std::unique_ptr<BandOutput> MakeAngleOutput(const std::string& path, const OutputSource& source);

// The sky-view factor of `model` (through GDAL, or .exr), summed as the bands come.
[[nodiscard]] std::unique_ptr<BandOutput> MakeSkyViewOutput(const std::string& path, skyline::SvfModel model,
                                                            const OutputSource& source);

// The hillshade with cast shadows of `bits` 8 or 16 (a PNG, or a GeoTIFF through GDAL
// by its name, georeferenced as the DEM), keeping the two bands around the sun.
[[nodiscard]] std::unique_ptr<BandOutput> MakeShadeOutput(const std::string& path, double sunAzimuth,
                                                          double sunElevation, int bits, const OutputSource& source);

// The engines' DDS array (a multiple of 4 bands), each slice written in its place
// once its four bands are in.
[[nodiscard]] std::unique_ptr<BandOutput> MakeEngineOutput(const std::string& path, const OutputSource& source);

// The terrain page (see sky_viewer.h), keeping only its sampled angle codes.
[[nodiscard]] std::unique_ptr<BandOutput> MakeViewerOutput(const std::string& path, const std::string& mapName,
                                                           std::uint32_t maxSize, const OutputSource& source);

}  // namespace sky
