#pragma once
// The terrain page of a horizon map (--viewer): its data from the map, the height
// map and the run's settings, and the file.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "export/export_options.h"
#include "export/horizon_map_file.h"
#include "horizon/horizon_kernel.h"
#include "status/status.h"
#include "viewer/page_data.h"

namespace exporter {

// `heights` and `terrain` as ComputeAngleMaps takes them; `maxSize` the most grid
// points along a side. Ok with `data` filled: the grid, the elevations as the run
// computed them, and the angle codes looking forward (red) and backward (green);
// InvalidArgument for a null pointer; OutOfMemory, `data` unchanged.
[[nodiscard]] status::Status MakeViewerData(const HorizonMap& map, const float* heights,
                                            const horizon::HorizonSettings& terrain, std::uint32_t maxSize,
                                            viewer::PageData* data);

// Writes options.viewerFile whole, beside its name and then renamed, and names it
// on `out`; a failure is reported on `err`. kExportSuccess; kExportBadInput when
// memory runs out making it; kExportWriteFailed when the file cannot be written.
// `heights` as LoadImageScaledRed filled it at the map's size.
[[nodiscard]] int WriteViewerPage(const ExportOptions& options, const HorizonMap& map, const float* heights,
                                  std::FILE* out, std::FILE* err);

}  // namespace exporter
