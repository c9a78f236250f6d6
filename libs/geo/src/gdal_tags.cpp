#include "geo/gdal_tags.h"

#include <tiffio.h>

namespace geo {

namespace {

constexpr ttag_t kGdalMetadata = 42112;
constexpr ttag_t kGdalNoData = 42113;

const TIFFFieldInfo kGdalFields[] = {
    {kGdalMetadata, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GDALMetadata")},
    {kGdalNoData, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("GDALNoDataValue")},
};

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

}  // namespace

std::string GdalMetadata(const std::vector<std::pair<std::string, std::string>>& items,
                         const std::vector<std::string>& names) {
    std::string xml = "<GDALMetadata>\n";
    for (const auto& [name, value] : items)
        xml += "  <Item name=\"" + Escaped(name) + "\">" + Escaped(value) + "</Item>\n";
    for (std::size_t i = 0; i < names.size(); ++i)
        xml += "  <Item name=\"DESCRIPTION\" sample=\"" + std::to_string(i) + "\" role=\"description\">" +
               Escaped(names[i]) + "</Item>\n";
    return xml + "</GDALMetadata>\n";
}

status::Status WriteGdalTags(TIFF* tiff, const std::string& metadata, const std::string& noData) {
    if (metadata.empty() && noData.empty()) return status::Ok();
    const auto refused = [&] {
        const char* name = TIFFFileName(tiff);
        return status::Fail(status::Code::Failed,
                            std::string(name != nullptr ? name : "a TIFF") + ": libtiff refused GDAL's tags");
    };
    if (TIFFFindField(tiff, kGdalMetadata, TIFF_ANY) == nullptr ||
        TIFFFindField(tiff, kGdalNoData, TIFF_ANY) == nullptr)
        if (TIFFMergeFieldInfo(tiff, kGdalFields, 2) != 0) return refused();
    const bool ok = (metadata.empty() || TIFFSetField(tiff, kGdalMetadata, metadata.c_str()) == 1) &&
                    (noData.empty() || TIFFSetField(tiff, kGdalNoData, noData.c_str()) == 1);
    return ok ? status::Ok() : refused();
}

}  // namespace geo
