#include "export/viewer_output.h"

#include <new>
#include <string>

#include "export/angle_maps.h"
#include "export/export_run.h"
#include "export_report.h"
#include "outputs/atomic_write.h"
#include "outputs/report_lines.h"
#include "viewer/viewer_page.h"

namespace exporter {

namespace {

std::uint16_t CodeOf(const DirectionAngles& angles, std::size_t texel) {
    const TexelKind kind = angles.kinds[texel];
    const bool hasAngle = kind == TexelKind::Horizon || kind == TexelKind::Faint || kind == TexelKind::Ambiguous;
    return hasAngle ? viewer::AngleCode(angles.degrees[texel]) : viewer::NoAngleCode(static_cast<std::uint8_t>(kind));
}

}  // namespace

status::Status MakeViewerData(const HorizonMap& map, const float* heights, const horizon::HorizonSettings& terrain,
                              std::uint32_t maxSize, viewer::PageData* data) {
    if (heights == nullptr || data == nullptr) return status::Fail(status::Code::InvalidArgument, {});
    AngleMaps angles;
    if (status::Status computed = ComputeAngleMaps(map, heights, terrain, &angles); !computed.ok()) return computed;
    try {
        viewer::PageData d;
        d.mapWidth = map.width;
        d.mapHeight = map.height;
        d.height = terrain.height;
        d.heightZero = terrain.heightZero;
        d.terraSize = terrain.terraSize;
        d.grid = viewer::GridFor(map.width, map.height, maxSize);
        d.directions = {{"forward", "red", 1, 0, {}}, {"backward", "green", -1, 0, {}}};
        for (std::uint32_t r = 0; r < d.grid.rows; ++r)
            for (std::uint32_t c = 0; c < d.grid.columns; ++c) {
                const std::size_t texel = std::size_t{r * d.grid.stride} * map.width + c * d.grid.stride;
                d.elevations.push_back(horizon::Elevation(terrain, heights[texel]));
                d.directions[0].codes.push_back(CodeOf(angles.forward, texel));
                d.directions[1].codes.push_back(CodeOf(angles.backward, texel));
            }
        *data = std::move(d);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

int WriteViewerPage(const ExportOptions& options, const HorizonMap& map, const float* heights, std::FILE* out,
                    std::FILE* err) {
    const std::string& path = options.viewerFile;
    viewer::PageData data;
    std::string page;
    status::Status gathered = MakeViewerData(map, heights, options.terrain, options.viewerSize, &data);
    if (gathered.ok()) {
        try {
            data.mapName = options.horizonMap.substr(options.horizonMap.find_last_of('/') + 1);
        } catch (const std::bad_alloc&) {
            gathered = status::OutOfMemory();
        }
    }
    if (!gathered.ok()) {
        Report(err, "cannot make " + path, gathered.code);
        return kExportBadInput;
    }
    if (const status::Status made = viewer::MakeViewerPage(data, &page); !made.ok()) {
        Report(err, "cannot make " + path, made);
        return kExportBadInput;
    }
    if (const status::Status written = outputs::WriteFile(path, page.data(), page.size()); !written.ok()) {
        Report(err, "cannot write " + path, written);
        return kExportWriteFailed;
    }
    outputs::ReportWrote(out, path);
    return kExportSuccess;
}

}  // namespace exporter
