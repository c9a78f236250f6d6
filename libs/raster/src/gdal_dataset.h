#pragma once
// An open GDAL dataset, closed when its owner goes.
#include <gdal.h>

#include <memory>

namespace raster {

struct CloseDataset {
    void operator()(void* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<void, CloseDataset>;

}  // namespace raster
