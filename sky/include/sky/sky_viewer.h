#pragma once
// The terrain page for many directions: the viewer library's page, the sun set by
// azimuth, each texel's horizon towards it by this program's own rule.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sky/sky_outputs.h"
#include "viewer/page_data.h"

namespace sky {

// The page's data: every stride-th texel of the DEM (at most `maxSize` along a
// side), its elevation (no data as NaN) and its horizon angle towards each azimuth
// as an angle code, "edge" where there is none. Exhausted memory escapes as
// std::bad_alloc.
[[nodiscard]] viewer::PageData MakeSkyPageData(const OutputSource& source, const std::vector<std::vector<float>>& bands,
                                               std::uint32_t maxSize);

// The page's data as MakeSkyPageData makes it, without the directions' codes,
// which AddSkyPageCodes then adds direction by direction (band k, width x height
// angles of the DEM), so that no band need be kept. Exhausted memory escapes as
// std::bad_alloc.
[[nodiscard]] viewer::PageData MakeSkyPageGrid(const OutputSource& source, std::uint32_t maxSize);
void AddSkyPageCodes(viewer::PageData* data, std::size_t k, const std::vector<float>& band);

// The page of `data`, its legend naming `mapName`, written whole and atomically;
// the name goes to `out`. Ok, or a failure reported on `err` and its status.
// Exhausted memory may also escape as std::bad_alloc.
[[nodiscard]] status::Status WriteViewerPage(const std::string& path, const std::string& mapName, viewer::PageData data,
                                             std::FILE* out, std::FILE* err);

}  // namespace sky
