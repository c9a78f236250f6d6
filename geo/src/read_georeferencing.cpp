#include <geotiff/geotiff.h>
#include <geotiff/geovalues.h>
#include <geotiff/xtiffio.h>

#include <cmath>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <new>

#include "geo/georeferencing.h"
#include "geotiff_fields.h"

namespace geo {

namespace {

constexpr ttag_t kGdalNoData = 42113;

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct GtifFree {
    void operator()(GTIF* gtif) const { GTIFFree(gtif); }
};

std::vector<double> Doubles(TIFF* tiff, ttag_t tag) {
    std::uint16_t count = 0;
    double* values = nullptr;
    if (TIFFGetField(tiff, tag, &count, &values) != 1 || values == nullptr) return {};
    return {values, values + count};
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
    g->geographic = model != nullptr && model->numbers[0] == static_cast<int>(ModelTypeGeographic);
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

HRESULT ReadGeoreferencing(const std::string& path, Georeferencing* out) {
    if (out == nullptr) return E_INVALIDARG;
    try {
        RegisterGeoTiffTags();
        Georeferencing g;
        const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
        if (!options) return E_OUTOFMEMORY;
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &Quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &Quiet, nullptr);
        const std::unique_ptr<TIFF, TiffClose> tiff(TIFFOpenExt(path.c_str(), "r", options.get()));
        if (!tiff) {
            *out = std::move(g);
            return S_OK;
        }
        TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &g.width);
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &g.height);
        // Unknown to libtiff, GDAL's no-data tag arrives as an anonymous text field.
        std::uint32_t count = 0;
        const char* text = nullptr;
        if (TIFFGetField(tiff.get(), kGdalNoData, &count, &text) == 1 && text != nullptr) g.noData = text;
        std::unique_ptr<GTIF, GtifFree> gtif;
        if (!KeyIds(tiff.get()).empty()) {
            gtif.reset(GTIFNew(tiff.get()));
            if (!gtif) return D3DXERR_INVALIDDATA;
        }
        Describe(tiff.get(), gtif.get(), &g);
        *out = std::move(g);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

std::array<double, 6> ScaledGeotransform(const Georeferencing& geo, std::uint32_t width, std::uint32_t height) {
    const double sx = static_cast<double>(geo.width) / width;
    const double sy = static_cast<double>(geo.height) / height;
    const auto& gt = geo.geotransform;
    return {gt[0], gt[1] * sx, gt[2] * sy, gt[3], gt[4] * sx, gt[5] * sy};
}

}  // namespace geo
