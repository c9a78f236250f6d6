#pragma once
// GDAL's own TIFF tags, which GIS tools read beside the GeoTIFF ones: the band
// descriptions (GDAL_METADATA, 42112) and the no-data value (GDAL_NODATA, 42113).
#include <string>
#include <utility>
#include <vector>

#include "status/status.h"

typedef struct tiff TIFF;

namespace geo {

// The GDAL_METADATA text: the dataset's `items` (name, value) in order, then band i
// (from 0) described as `names[i]`; every text escaped for XML. Exhausted memory
// escapes as std::bad_alloc.
std::string GdalMetadata(const std::vector<std::pair<std::string, std::string>>& items,
                         const std::vector<std::string>& names);

// Sets GDAL_METADATA to `metadata` and GDAL_NODATA to `noData` in `tiff`, open for
// writing (not null); an empty text is left out. Ok; Failed when libtiff refuses.
status::Status WriteGdalTags(TIFF* tiff, const std::string& metadata, const std::string& noData);

}  // namespace geo
