#include "height_loading.h"

#include <new>

#include "export/export_run.h"
#include "export/loaded_rows.h"
#include "export/shaded_relief.h"
#include "export_report.h"
#include "image/load_image.h"
#include "os/memory_budget.h"
#include "os/side_by_side_work.h"

namespace exporter {

namespace {

// Not zeroed first: the loader writes every texel, and its writes are the first touch.
[[nodiscard]] status::Status AllocateHeights(const HorizonMap& map, std::unique_ptr<float[]>* heights) {
    std::uint64_t bytes = 0;
    const bool fits = os::CheckedMul(map.width, map.height, sizeof(float), &bytes);
    if (!os::CheckFitsInMemory(bytes, !fits).ok()) return status::OutOfMemory();
    try {
        *heights = std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(bytes / sizeof(float)));
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
    return status::Ok();
}

}  // namespace

int LoadHeights(const ExportOptions& o, const HorizonMap& map, FromHeights* made, std::FILE* err) {
    status::Status loaded = AllocateHeights(map, &made->heights);
    status::Status computed;
    if (loaded.ok()) {
        LoadedRows rows(map.height);
        const float* heights = made->heights.get();
        os::RunSideBySide(
            [&] {
                if (!o.angleFiles.empty()) computed = ComputeAngleMaps(map, heights, o.terrain, &made->angles, &rows);
                if (computed.ok() && !o.shadeFile.empty())
                    made->shade =
                        ShadePicture(map, heights, o.terrain, o.sunFrom, o.sunDegrees, o.shrink, o.bitDepth, &rows);
            },
            [&] {
                loaded = image::LoadImageScaledRed(o.heightMap.c_str(), map.width, map.height, made->heights.get(),
                                                   rows.counter());
                rows.finish(loaded.ok());
            });
    }
    if (!loaded.ok()) {
        Report(err, "cannot load the height map " + o.heightMap, loaded.code, loaded.reason);
        return kExportBadInput;
    }
    if (!computed.ok()) {
        Report(err, "cannot compute the angles", computed.code);
        return FailureCode(computed);
    }
    return kExportSuccess;
}

}  // namespace exporter
