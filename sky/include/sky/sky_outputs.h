#pragma once
// The files umbrascope-sky writes, each encoded whole and written atomically; the
// name goes to `out` ("wrote NAME"), a failure to `err`, the function then
// returning false. Exhausted memory escapes as std::bad_alloc.
#include <cstdio>
#include <string>
#include <vector>

#include "results/result_code.h"
#include "sky/dem.h"
#include "sky/derived_products.h"

namespace sky {

constexpr const char* kSkyProgram = "umbrascope-sky";

// "umbrascope-sky: WHAT: WHY" on `err`, WHY the result's description when empty.
void ReportFailure(std::FILE* err, const std::string& what, HRESULT result, const std::string& why = "");

// An azimuth as the outputs name it: two decimals.
std::string Degrees(double azimuth);

// What every output is made from: the DEM (its georeferencing goes into the float
// files), its cells in metres and the azimuths used, one per band.
struct OutputSource {
    const Dem& dem;
    double cellX, cellY;
    const std::vector<double>& azimuths;
};

// The angle bands (.tif with GDAL band descriptions, no-data and georeferencing, or
// .exr); `bands` are lent to the encoder and given back.
[[nodiscard]] bool WriteAngleFile(const std::string& path, const OutputSource& source,
                                  std::vector<std::vector<float>>& bands, std::FILE* out, std::FILE* err);

// The sky-view factor of `model` (.tif or .exr).
[[nodiscard]] bool WriteSkyViewFile(const std::string& path, SvfModel model, const OutputSource& source,
                                    const std::vector<std::vector<float>>& bands, std::FILE* out, std::FILE* err);

// The hillshade with cast shadows (8-bit PNG).
[[nodiscard]] bool WriteShadeFile(const std::string& path, double sunAzimuth, double sunElevation,
                                  const OutputSource& source, const std::vector<std::vector<float>>& bands,
                                  std::FILE* out, std::FILE* err);

// The engines' DDS array (a multiple of 4 bands).
[[nodiscard]] bool WriteEngineFile(const std::string& path, const OutputSource& source,
                                   const std::vector<std::vector<float>>& bands, std::FILE* out, std::FILE* err);

}  // namespace sky
