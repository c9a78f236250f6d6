#include "viewer/viewer_page.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base64.h"

namespace viewer {

extern const unsigned char kPageTemplate[];
extern const std::size_t kPageTemplateSize;

namespace {

constexpr std::string_view kDataMarker = "@PAGE_DATA@";

using Json = nlohmann::ordered_json;

// Little-endian 16-bit words, base64, as the page decodes them.
std::string Words(const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(words.size() * 2);
    for (const std::uint16_t w : words) {
        bytes.push_back(static_cast<std::uint8_t>(w & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    std::string text;
    AppendBase64(bytes.data(), bytes.size(), &text);
    return text;
}

// Elevations as 16-bit steps from the lowest to the highest; non-finite ones at the lowest.
Json Elevations(const std::vector<float>& elevations) {
    double low = INFINITY, high = -INFINITY;
    for (const float z : elevations)
        if (std::isfinite(z)) low = std::min(low, double{z}), high = std::max(high, double{z});
    if (!(low <= high)) low = high = 0;
    std::vector<std::uint16_t> codes;
    codes.reserve(elevations.size());
    for (const float z : elevations)
        codes.push_back(std::isfinite(z) && high > low
                            ? static_cast<std::uint16_t>(std::lround((z - low) / (high - low) * 65535.0))
                            : 0);
    return {{"lowest", low}, {"highest", high}, {"codes", Words(codes)}};
}

// The page's data as JSON text; non-finite numbers become null.
std::string DataText(const PageData& d) {
    Json directions = Json::array();
    for (const PageDirection& dir : d.directions)
        directions.push_back({{"name", dir.name},
                              {"channel", dir.channel},
                              {"rowStep", dir.rowStep},
                              {"columnStep", dir.columnStep},
                              {"azimuth", dir.azimuth},
                              {"codes", Words(dir.codes)}});
    const Json data = {
        {"format", 2},
        {"map",
         {{"name", d.mapName},
          {"width", d.mapWidth},
          {"height", d.mapHeight},
          {"northRows", d.northRows},
          {"eastColumns", d.eastColumns}}},
        {"settings", {{"Height", double{d.height}}, {"HeightZero", double{d.heightZero}}, {"TerraSize", d.terraSize}}},
        {"grid", {{"columns", d.grid.columns}, {"rows", d.grid.rows}, {"stride", d.grid.stride}}},
        {"elevations", Elevations(d.elevations)},
        {"angleCodes",
         {{"full", kAngleCodeFull}, {"noAngle", kNoAngleCode}, {"lowest", kLowestAngle}, {"highest", kHighestAngle}}},
        {"directions", std::move(directions)}};
    // A name that is not UTF-8 shows its bad bytes as the browser would.
    return data.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The data sits in a <script> element: '<', '>' and '&' (found in JSON only inside
// strings) are escaped so no text can close it.
void AppendForScript(const std::string& json, std::string* out) {
    out->reserve(out->size() + json.size());
    for (const char ch : json) {
        if (ch == '<')
            out->append("\\u003c");
        else if (ch == '>')
            out->append("\\u003e");
        else if (ch == '&')
            out->append("\\u0026");
        else
            out->push_back(ch);
    }
}

bool Consistent(const PageData& d) {
    const std::size_t points = std::size_t{d.grid.columns} * d.grid.rows;
    if (points == 0 || d.elevations.size() != points || d.directions.empty()) return false;
    return std::all_of(d.directions.begin(), d.directions.end(),
                       [&](const PageDirection& dir) { return dir.codes.size() == points; });
}

}  // namespace

status::Status MakeViewerPage(const PageData& data, std::string* page) {
    if (page == nullptr || !Consistent(data))
        return status::Fail(status::Code::InvalidArgument, "the page's data is not of one size");
    try {
        const std::string_view pageTemplate(reinterpret_cast<const char*>(kPageTemplate), kPageTemplateSize);
        const std::size_t marker = pageTemplate.find(kDataMarker);
        std::string text(pageTemplate.substr(0, marker));
        AppendForScript(DataText(data), &text);
        text.append(pageTemplate.substr(marker + kDataMarker.size()));
        *page = std::move(text);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace viewer
