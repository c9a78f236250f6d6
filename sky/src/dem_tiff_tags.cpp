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
        const auto& gt = g.geotransform;
        tags->west = gt[0];
        tags->north = gt[3];
        tags->columnsRunWest = gt[1] < 0;
        tags->rowsRunNorth = gt[5] > 0;
        tags->rotated = gt[2] != 0 || gt[4] != 0;
    }
}

}  // namespace

bool ReadDemTiffTags(const std::string& path, DemTiffTags* tags) {
    geo::TiffFile tiff;
    if (!geo::OpenGeoTiff(path, &tiff).ok()) return false;
    DemTiffTags read;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &read.bitsPerSample);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &read.sampleFormat);
    // GeoKeys libgeotiff cannot parse leave the DEM without georeferencing.
    if (geo::Georeferencing g; geo::ReadGeoreferencing(tiff.get(), &g).ok()) TakeGeoreferencing(g, &read);
    *tags = std::move(read);
    return true;
}

}  // namespace sky
