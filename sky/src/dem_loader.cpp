#include "sky/dem.h"

#include <cmath>
#include <new>

#include "platform/image/decode_image.h"
#include "sky/stored_sample_kind.h"

namespace sky {

namespace {

// The stored number behind a loaded value.
double Stored(float value, const StoredSampleKind& kind) {
    if (kind.divisor == 0 || value != value) return value;
    // The loaders clamp the lowest signed value onto the one above it; voids are
    // stored as the lowest, so that is what -1 stands for.
    if (kind.isSigned && value == -1.0f) return -static_cast<double>(kind.divisor) - 1;
    return std::nearbyint(static_cast<double>(value) * kind.divisor);
}

HRESULT Load(const std::string& path, const DemReading& reading, Dem* dem, std::string* why) {
    const StoredSampleKind kind = StoredSampleKindOf(path);
    if (kind.inexact) {
        *why =
            "32-bit integer and 64-bit float samples are not read exactly; convert the DEM to Int16, UInt16 or "
            "Float32 (gdal_translate -ot Float32)";
        return D3DXERR_INVALIDDATA;
    }
    DemTiffTags tags;
    if (ReadDemTiffTags(path, &tags)) dem->tiff = tags;
    const std::optional<double> noData = reading.noData ? reading.noData : tags.gdalNoData;
    image::DecodedImage decoded;
    if (const HRESULT hr = image::DecodeImageFile(path.c_str(), &decoded); hr != S_OK) return hr;
    const std::size_t texels = std::size_t{decoded.width} * decoded.height;
    dem->z.resize(texels);
    dem->noDataTexels = 0;
    for (std::size_t i = 0; i < texels; ++i) {
        const double stored = Stored(decoded.texels[i * 4], kind);
        const bool missing = stored != stored || (noData && stored == *noData);
        dem->z[i] = missing ? std::nan("") : stored * reading.scale + reading.offset;
        if (missing || !std::isfinite(dem->z[i])) {
            dem->z[i] = std::nan("");
            ++dem->noDataTexels;
        }
    }
    dem->width = decoded.width;
    dem->height = decoded.height;
    return S_OK;
}

}  // namespace

HRESULT LoadDem(const std::string& path, const DemReading& reading, Dem* dem, std::string* why) {
    if (dem == nullptr || why == nullptr) return E_INVALIDARG;
    *dem = Dem{};
    why->clear();
    try {
        return Load(path, reading, dem, why);
    } catch (const std::bad_alloc&) {
        *dem = Dem{};
        return E_OUTOFMEMORY;
    }
}

}  // namespace sky
