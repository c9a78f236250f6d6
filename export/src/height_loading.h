#pragma once
// The height map decoded on one thread while the angles and the shaded picture are
// made on the others from its rows as they come.
#include <cstdio>
#include <memory>

#include "encode/grey_image.h"
#include "export/angle_maps.h"
#include "export/export_options.h"
#include "export/horizon_map_file.h"

namespace exporter {

// What is made from the height map while it loads.
struct FromHeights {
    std::unique_ptr<float[]> heights;
    AngleMaps angles;         // for the angle files
    encode::GreyImage shade;  // the shaded picture
};

// Loads `o.heightMap` at the map's size into `made`, with the angles and the shaded
// picture when asked for. kExportSuccess; kExportBadInput when the height map cannot
// be loaded, a failure code when the angles cannot be made; each reported on `err`.
int LoadHeights(const ExportOptions& o, const HorizonMap& map, FromHeights* made, std::FILE* err);

}  // namespace exporter
