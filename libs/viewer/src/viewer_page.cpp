#include "viewer/viewer_page.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string_view>

#include "base64.h"

namespace viewer {

extern const unsigned char kPageTemplate[];
extern const std::size_t kPageTemplateSize;

namespace {

constexpr std::string_view kDataMarker = "@PAGE_DATA@";

// The data sits in a <script> element: '<' is escaped so no text can close it.
void AppendString(std::string_view text, std::string* out) {
    out->push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out->push_back('\\');
            out->push_back(ch);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out->append(escaped);
        } else {
            out->push_back(ch);
        }
    }
    out->push_back('"');
}

// Shortest text that reads back as the same double; non-finite values as null.
void AppendNumber(double value, std::string* out) {
    if (!std::isfinite(value)) {
        out->append("null");
        return;
    }
    char text[32];
    for (int digits = 6; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    out->append(text);
}

void AppendField(std::string_view name, double value, std::string* out) {
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
    AppendField("Height", d.height, out);
    out->push_back(',');
    AppendField("HeightZero", d.heightZero, out);
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
