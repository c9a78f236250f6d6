#pragma once
// libtiff learns GeoTIFF's tags from libgeotiff when a file is opened after
// XTIFFInitialize; a TIFF opened before that learns them here.
#include <tiffio.h>

namespace geo {

// Declares the GeoTIFF tags to `tiff` unless it knows them. False when libtiff refuses.
bool KnowGeoTiffTags(TIFF* tiff);

// Makes every TIFF opened from now on know the GeoTIFF tags. Cannot fail; any thread.
void RegisterGeoTiffTags();

}  // namespace geo
