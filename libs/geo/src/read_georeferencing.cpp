#include <geotiff/geotiff.h>
#include <geotiff/geovalues.h>
#include <geotiff/xtiffio.h>

#include <cmath>
#include <memory>
#include <new>

#include "geo/georeferencing.h"
#include "geo/geotiff_file.h"

namespace geo {

namespace {

constexpr ttag_t kGdalNoData = 42113;

struct GtifFree {
    void operator()(GTIF* gtif) const { GTIFFree(gtif); }
};

template <typename T>
std::vector<T> ArrayTag(TIFF* tiff, ttag_t tag) {
    std::uint16_t count = 0;
    T* values = nullptr;
    if (TIFFGetField(tiff, tag, &count, &values) != 1 || values == nullptr) return {};
    return {values, values + count};
}

std::vector<double> Doubles(TIFF* tiff, ttag_t tag) { return ArrayTag<double>(tiff, tag); }

StoredGeoTiffTags StoredTags(TIFF* tiff) {
    StoredGeoTiffTags stored{
        Doubles(tiff, TIFFTAG_GEOPIXELSCALE),   Doubles(tiff, TIFFTAG_GEOTIEPOINTS),
        Doubles(tiff, TIFFTAG_GEOTRANSMATRIX),  ArrayTag<std::uint16_t>(tiff, TIFFTAG_GEOKEYDIRECTORY),
        Doubles(tiff, TIFFTAG_GEODOUBLEPARAMS), ""};
    char* ascii = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_GEOASCIIPARAMS, &ascii) == 1 && ascii != nullptr) stored.asciiParams = ascii;
    return stored;
}

// Metres per the projection's linear unit (EPSG unit codes); 0 when unknown.
double MetresPerUnit(int code) {
    switch (code) {
        case Linear_Meter: return 1;
        case Linear_Foot: return 0.3048;
        case Linear_Foot_US_Survey: return 1200.0 / 3937.0;
        default: return 0;
    }
}

// The key ids in the order of the directory: libgeotiff parses the values but
// offers no walk over them.
std::vector<std::uint16_t> KeyIds(TIFF* tiff) {
    std::uint16_t count = 0;
    std::uint16_t* directory = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_GEOKEYDIRECTORY, &count, &directory) != 1 || directory == nullptr || count < 4)
        return {};
    std::vector<std::uint16_t> ids;
    for (std::uint32_t k = 0; k < directory[3] && 4u * (k + 2) <= count; ++k) ids.push_back(directory[4 * (k + 1)]);
    return ids;
}

bool ReadKey(GTIF* gtif, std::uint16_t id, GeoKey* key) {
    int size = 0;
    tagtype_t type = TYPE_UNKNOWN;
    const int count = GTIFKeyInfo(gtif, static_cast<geokey_t>(id), &size, &type);
    if (count <= 0) return false;
    key->id = id;
    if (type == TYPE_ASCII) {
        std::string text(static_cast<std::size_t>(count) + 1, '\0');
        if (GTIFKeyGet(gtif, static_cast<geokey_t>(id), text.data(), 0, count) <= 0) return false;
        key->type = GeoKey::Type::Ascii;
        key->text = text.c_str();
    } else if (type == TYPE_SHORT) {
        std::vector<unsigned short> values(static_cast<std::size_t>(count));
        if (GTIFKeyGet(gtif, static_cast<geokey_t>(id), values.data(), 0, count) != count) return false;
        key->type = GeoKey::Type::Short;
        key->numbers.assign(values.begin(), values.end());
    } else if (type == TYPE_DOUBLE) {
        key->numbers.resize(static_cast<std::size_t>(count));
        if (GTIFKeyGet(gtif, static_cast<geokey_t>(id), key->numbers.data(), 0, count) != count) return false;
        key->type = GeoKey::Type::Double;
    } else {
        return false;
    }
    return true;
}

const GeoKey* Find(const std::vector<GeoKey>& keys, std::uint16_t id) {
    for (const auto& key : keys)
        if (key.id == id && key.type == GeoKey::Type::Short && !key.numbers.empty()) return &key;
    return nullptr;
}

// From the transformation matrix, else the first tie point and the pixel scale.
bool ReadGeotransform(TIFF* tiff, std::array<double, 6>* gt) {
    const std::vector<double> matrix = Doubles(tiff, TIFFTAG_GEOTRANSMATRIX);
    if (matrix.size() >= 16) {
        *gt = {matrix[3], matrix[0], matrix[1], matrix[7], matrix[4], matrix[5]};
        return true;
    }
    const std::vector<double> tie = Doubles(tiff, TIFFTAG_GEOTIEPOINTS);
    const std::vector<double> scale = Doubles(tiff, TIFFTAG_GEOPIXELSCALE);
    if (tie.size() < 6 || scale.size() < 2) return false;
    *gt = {tie[3] - tie[0] * scale[0], scale[0], 0, tie[4] + tie[1] * scale[1], 0, -scale[1]};
    return true;
}

// `gtif` null: the file has no GeoKeys.
void Describe(TIFF* tiff, GTIF* gtif, Georeferencing* g) {
    for (const std::uint16_t id : gtif == nullptr ? std::vector<std::uint16_t>{} : KeyIds(tiff)) {
        GeoKey key;
        if (ReadKey(gtif, id, &key)) g->keys.push_back(std::move(key));
    }
    g->hasGeotransform = ReadGeotransform(tiff, &g->geotransform);
    auto& gt = g->geotransform;
    const GeoKey* raster = Find(g->keys, GTRasterTypeGeoKey);
    if (g->hasGeotransform && raster != nullptr && raster->numbers[0] == static_cast<int>(RasterPixelIsPoint)) {
        gt[0] -= (gt[1] + gt[2]) / 2;
        gt[3] -= (gt[4] + gt[5]) / 2;
    }
    g->pixelWidth = std::hypot(gt[1], gt[4]);
    g->pixelHeight = std::hypot(gt[2], gt[5]);
    const GeoKey* model = Find(g->keys, GTModelTypeGeoKey);
    g->modelType = model != nullptr ? static_cast<int>(model->numbers[0]) : 0;
    g->geographic = g->modelType == ModelTypeGeographic;
    const GeoKey* unit = Find(g->keys, ProjLinearUnitsGeoKey);
    const double metres = MetresPerUnit(unit != nullptr ? static_cast<int>(unit->numbers[0]) : Linear_Meter);
    if (g->modelType == ModelTypeProjected && g->hasGeotransform && metres > 0 && g->pixelWidth > 0 &&
        g->pixelHeight > 0) {
        g->cellX = g->pixelWidth * metres;
        g->cellY = g->pixelHeight * metres;
    }
    for (const geokey_t id : {ProjectedCSTypeGeoKey, GeographicTypeGeoKey}) {
        const GeoKey* code = Find(g->keys, static_cast<std::uint16_t>(id));
        if (code != nullptr && code->numbers[0] > 0 && code->numbers[0] < KvUserDefined) {
            g->epsg = static_cast<int>(code->numbers[0]);
            break;
        }
    }
    g->present = !g->keys.empty() || g->hasGeotransform;
}

}  // namespace

status::Status ReadGeoreferencing(TIFF* tiff, Georeferencing* out) {
    try {
        Georeferencing g;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &g.width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &g.height);
        // Unknown to libtiff, GDAL's no-data tag arrives as an anonymous text field.
        std::uint32_t count = 0;
        const char* text = nullptr;
        if (TIFFGetField(tiff, kGdalNoData, &count, &text) == 1 && text != nullptr) g.noData = text;
        std::unique_ptr<GTIF, GtifFree> gtif;
        if (!KeyIds(tiff).empty()) {
            gtif.reset(GTIFNew(tiff));
            if (!gtif)
                return status::Fail(status::Code::InvalidData,
                                    std::string(TIFFFileName(tiff)) + ": its GeoKeys cannot be parsed");
        }
        Describe(tiff, gtif.get(), &g);
        g.stored = StoredTags(tiff);
        *out = std::move(g);
        return status::Ok();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

status::Status ReadGeoreferencing(const std::string& path, Georeferencing* out) {
    try {
        TiffFile tiff;
        status::Status opened = OpenGeoTiff(path, &tiff);
        if (opened.code == status::Code::InvalidData) {  // no TIFF, so nothing to say
            *out = Georeferencing{};
            return status::Ok();
        }
        return opened.ok() ? ReadGeoreferencing(tiff.get(), out) : opened;
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

std::array<double, 6> ScaledGeotransform(const Georeferencing& geo, std::uint32_t width, std::uint32_t height) {
    const double sx = static_cast<double>(geo.width) / width;
    const double sy = static_cast<double>(geo.height) / height;
    const auto& gt = geo.geotransform;
    return {gt[0], gt[1] * sx, gt[2] * sy, gt[3], gt[4] * sx, gt[5] * sy};
}

}  // namespace geo
