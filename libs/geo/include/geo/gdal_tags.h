#pragma once
// GDAL's own TIFF tags, which GIS tools read beside the GeoTIFF ones: the band
// descriptions (GDAL_METADATA, 42112) and the no-data value (GDAL_NODATA, 42113).
#include <string>
#include <utility>
#include <vector>

#include "results/result_code.h"

typedef struct tiff TIFF;

namespace geo {

// The GDAL_METADATA text: the dataset's `items` (name, value) in order, then band i
// (from 0) described as `names[i]`; every text escaped for XML. Exhausted memory
// escapes as std::bad_alloc.
std::string GdalMetadata(const std::vector<std::pair<std::string, std::string>>& items,
                         const std::vector<std::string>& names);

// Sets GDAL_METADATA to `metadata` and GDAL_NODATA to `noData` in `tiff`, open for
// writing; an empty text is left out. S_OK; E_FAIL when libtiff refuses;
// E_INVALIDARG for a null `tiff`.
[[nodiscard]] HRESULT WriteGdalTags(TIFF* tiff, const std::string& metadata, const std::string& noData);

}  // namespace geo
