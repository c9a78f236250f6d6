#include "sky/dem.h"

#include <cmath>
#include <new>

#include "image/decode_image.h"
#include "image/image_file.h"
#include "sky/stored_sample_kind.h"

namespace sky {

namespace {

// The loaders clamp the lowest signed value onto the one above it, so -1 stands
// for both.
bool Folded(float value, const StoredSampleKind& kind) { return kind.divisor != 0 && kind.isSigned && value == -1.0f; }

// The stored number behind a loaded value.
double Stored(float value, const StoredSampleKind& kind) {
    if (kind.divisor == 0 || value != value) return value;
    // Voids are stored as the lowest, so that is what the folded value stands for.
    if (Folded(value, kind)) return -static_cast<double>(kind.divisor) - 1;
    return std::nearbyint(static_cast<double>(value) * kind.divisor);
}

// Whether a stored number is no data. Either folded value (the two conventional
// void values, -32768 and -32767) as the no-data value matches both.
bool Missing(double stored, bool folded, const std::optional<double>& noData) {
    if (stored != stored) return true;
    return noData && (stored == *noData || (folded && stored + 1 == *noData));
}

HRESULT Load(const std::string& path, const DemReading& reading, Dem* dem, std::string* why) {
    // Everything below opens the file by its name; a FIFO would block them all.
    if (const HRESULT hr = image::ImageFile().open(path.c_str()); hr != S_OK) {
        if (hr == D3DXERR_INVALIDDATA) *why = "not a regular file, or empty";
        return hr;
    }
    const StoredSampleKind kind = StoredSampleKindOf(path);
    if (kind.inexact) {
        *why =
            "32-bit integer and 64-bit float samples are not read exactly; convert the DEM to Int16, UInt16 or "
            "Float32 (gdal_translate -ot Float32)";
        return D3DXERR_INVALIDDATA;
    }
    DemTiffTags tags;
    if (ReadDemTiffTags(path, &tags)) dem->tiff = tags;
    if (tags.rotated) {
        *why = "its grid is rotated or sheared against its coordinates; warp it onto a north-up grid first (gdalwarp)";
        return D3DXERR_INVALIDDATA;
    }
    const std::optional<double> noData = reading.noData ? reading.noData : tags.gdalNoData;
    image::DecodedImage decoded;
    if (const HRESULT hr = image::DecodeImageFile(path.c_str(), &decoded); hr != S_OK) return hr;
    const std::size_t texels = std::size_t{decoded.width} * decoded.height;
    dem->z.resize(texels);
    dem->noDataTexels = 0;
    for (std::size_t i = 0; i < texels; ++i) {
        const float loaded = decoded.texels[i * 4];
        const double stored = Stored(loaded, kind);
        const bool missing = Missing(stored, Folded(loaded, kind), noData);
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
