#include "sky/sky_viewer.h"

#include <cmath>
#include <new>

#include "outputs/atomic_write.h"
#include "outputs/report_lines.h"
#include "viewer/viewer_page.h"

namespace sky {

namespace {

constexpr double kRadians = 3.14159265358979323846 / 180.0;
constexpr std::uint8_t kEdgeKind = 5;  // the angle files' kind for "no terrain ahead"

// The DEM's texel under the page's point in row r, column c.
std::size_t PageTexel(const viewer::PageData& d, std::uint32_t r, std::uint32_t c) {
    return std::size_t{r} * d.grid.stride * d.mapWidth + std::size_t{c} * d.grid.stride;
}

}  // namespace

viewer::PageData MakeSkyPageGrid(const OutputSource& source, std::uint32_t maxSize) {
    const Dem& dem = source.dem;
    viewer::PageData d;
    d.mapWidth = dem.width;
    d.mapHeight = dem.height;
    d.height = 1;  // elevations are in metres already
    d.terraSize = dem.width * std::fabs(source.cellX);
    d.northRows = source.cellY < 0 ? 1 : -1;
    d.eastColumns = source.cellX < 0 ? -1 : 1;
    d.grid = viewer::GridFor(dem.width, dem.height, maxSize);
    for (std::size_t k = 0; k < source.azimuths.size(); ++k) {
        const double a = source.azimuths[k];
        // A step towards the azimuth, on the map as it lies.
        d.directions.push_back({"azimuth " + Degrees(a),
                                "band " + std::to_string(k + 1),
                                d.northRows * std::cos(a * kRadians),
                                d.eastColumns * std::sin(a * kRadians),
                                {},
                                a});
    }
    for (std::uint32_t r = 0; r < d.grid.rows; ++r)
        for (std::uint32_t c = 0; c < d.grid.columns; ++c)
            d.elevations.push_back(static_cast<float>(dem.z[PageTexel(d, r, c)]));
    return d;
}

void AddSkyPageCodes(viewer::PageData* data, std::size_t k, const std::vector<float>& band) {
    std::vector<std::uint16_t>& codes = data->directions[k].codes;
    codes.clear();
    for (std::uint32_t r = 0; r < data->grid.rows; ++r)
        for (std::uint32_t c = 0; c < data->grid.columns; ++c) {
            const float h = band[PageTexel(*data, r, c)];
            codes.push_back(h == skyline::kNoData ? viewer::NoAngleCode(kEdgeKind) : viewer::AngleCode(h));
        }
}

viewer::PageData MakeSkyPageData(const OutputSource& source, const std::vector<std::vector<float>>& bands,
                                 std::uint32_t maxSize) {
    viewer::PageData d = MakeSkyPageGrid(source, maxSize);
    for (std::size_t k = 0; k < bands.size(); ++k) AddSkyPageCodes(&d, k, bands[k]);
    return d;
}

status::Status WriteViewerPage(const std::string& path, const std::string& mapName, viewer::PageData data,
                               std::FILE* out, std::FILE* err) {
    data.mapName = mapName.substr(mapName.find_last_of('/') + 1);
    std::string page;
    if (const status::Status made = viewer::MakeViewerPage(data, &page); !made.ok()) {
        ReportFailure(err, "cannot make " + path, made.code, made.reason);
        return made;
    }
    if (const status::Status written = outputs::WriteFile(path, page.data(), page.size()); !written.ok()) {
        ReportFailure(err, "cannot write " + path, written.code, written.reason);
        return written;
    }
    outputs::ReportWrote(out, path);
    return status::Ok();
}

}  // namespace sky
