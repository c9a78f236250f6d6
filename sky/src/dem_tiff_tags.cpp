#include "sky/dem_tiff_tags.h"

#include <tiffio.h>

#include <cstdlib>

#include "geo/georeferencing.h"
#include "geo/geotiff_file.h"

namespace sky {

namespace {

// What the DEM needs of the file's georeferencing, read once, in geo/.
void TakeGeoreferencing(const geo::Georeferencing& g, DemTiffTags* tags) {
    if (!g.noData.empty()) {
        char* end = nullptr;
        const double value = std::strtod(g.noData.c_str(), &end);
        if (end != g.noData.c_str()) tags->gdalNoData = value;
    }
    if (g.stored.empty()) return;
    tags->geo = g.stored;
    tags->modelType = g.modelType;
    tags->cellX = g.cellX;
    tags->cellY = g.cellY;
    if (g.hasGeotransform) {
        tags->west = g.geotransform[0];
        tags->north = g.geotransform[3];
    }
}

}  // namespace

bool ReadDemTiffTags(const std::string& path, DemTiffTags* tags) {
    geo::TiffFile tiff;
    if (geo::OpenGeoTiff(path, &tiff) != S_OK) return false;
    DemTiffTags read;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &read.bitsPerSample);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &read.sampleFormat);
    // GeoKeys libgeotiff cannot parse leave the DEM without georeferencing.
    if (geo::Georeferencing g; geo::ReadGeoreferencing(tiff.get(), &g) == S_OK) TakeGeoreferencing(g, &read);
    *tags = std::move(read);
    return true;
}

}  // namespace sky
