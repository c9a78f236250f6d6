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

// Strings and numbers as nlohmann-json writes them; the structure, one fixed shape,
// is written here, and the codes' base64 (no character of which JSON escapes) goes
// in as it is. A JSON document of the whole data would be smaller code but frees
// its nested values with an allocation, which ends the program when memory runs out.
// Only scalars are made here: freeing those allocates nothing.
using Json = nlohmann::json;

// The data sits in a <script> element: '<', '>' and '&' are escaped so no text can
// close it. A name that is not UTF-8 shows its bad bytes as the browser would.
void AppendString(std::string_view text, std::string* out) {
    const std::string json = Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
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

// Shortest text that reads back as the same number; non-finite values as null.
template <typename Number>
void AppendNumber(Number value, std::string* out) {
    out->append(Json(value).dump());
}

template <typename Number>
void AppendField(std::string_view name, Number value, std::string* out) {
    AppendString(name, out);
    out->push_back(':');
    AppendNumber(value, out);
}

// Little-endian 16-bit words, base64, as the page decodes them.
void AppendWords(const std::vector<std::uint16_t>& words, std::string* out) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(words.size() * 2);
    for (const std::uint16_t w : words) {
        bytes.push_back(static_cast<std::uint8_t>(w & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    out->push_back('"');
    AppendBase64(bytes.data(), bytes.size(), out);
    out->push_back('"');
}

// Elevations as 16-bit steps from the lowest to the highest; non-finite ones at the lowest.
void AppendElevations(const std::vector<float>& elevations, std::string* out) {
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
    out->append("\"elevations\":{");
    AppendField("lowest", low, out);
    out->push_back(',');
    AppendField("highest", high, out);
    out->append(",\"codes\":");
    AppendWords(codes, out);
    out->push_back('}');
}

void AppendData(const PageData& d, std::string* out) {
    out->append("{\"format\":2,\"map\":{\"name\":");
    AppendString(d.mapName, out);
    out->push_back(',');
    AppendField("width", d.mapWidth, out);
    out->push_back(',');
    AppendField("height", d.mapHeight, out);
    out->push_back(',');
    AppendField("northRows", d.northRows, out);
    out->push_back(',');
    AppendField("eastColumns", d.eastColumns, out);
    out->append("},\"settings\":{");
    AppendField("Height", double{d.height}, out);
    out->push_back(',');
    AppendField("HeightZero", double{d.heightZero}, out);
    out->push_back(',');
    AppendField("TerraSize", d.terraSize, out);
    out->append("},\"grid\":{");
    AppendField("columns", d.grid.columns, out);
    out->push_back(',');
    AppendField("rows", d.grid.rows, out);
    out->push_back(',');
    AppendField("stride", d.grid.stride, out);
    out->append("},");
    AppendElevations(d.elevations, out);
    out->append(",\"angleCodes\":{");
    AppendField("full", kAngleCodeFull, out);
    out->push_back(',');
    AppendField("noAngle", kNoAngleCode, out);
    out->push_back(',');
    AppendField("lowest", kLowestAngle, out);
    out->push_back(',');
    AppendField("highest", kHighestAngle, out);
    out->append("},\"directions\":[");
    for (std::size_t i = 0; i < d.directions.size(); ++i) {
        const PageDirection& dir = d.directions[i];
        out->append(i == 0 ? "{\"name\":" : ",{\"name\":");
        AppendString(dir.name, out);
        out->append(",\"channel\":");
        AppendString(dir.channel, out);
        out->push_back(',');
        AppendField("rowStep", dir.rowStep, out);
        out->push_back(',');
        AppendField("columnStep", dir.columnStep, out);
        out->push_back(',');
        AppendField("azimuth", dir.azimuth, out);
        out->append(",\"codes\":");
        AppendWords(dir.codes, out);
        out->push_back('}');
    }
    out->append("]}");
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
        AppendData(data, &text);
        text.append(pageTemplate.substr(marker + kDataMarker.size()));
        *page = std::move(text);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace viewer
