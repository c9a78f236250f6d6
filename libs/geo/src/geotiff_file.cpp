#include "geo/geotiff_file.h"

#include <tiffio.h>

#include <cstdarg>

#include "geotiff_fields.h"

namespace geo {

namespace {

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

void TiffCloser::operator()(TIFF* tiff) const { TIFFClose(tiff); }

HRESULT OpenGeoTiff(const std::string& path, TiffFile* tiff) {
    if (tiff == nullptr) return E_INVALIDARG;
    tiff->reset();
    RegisterGeoTiffTags();
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) return E_OUTOFMEMORY;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &Quiet, nullptr);
    tiff->reset(TIFFOpenExt(path.c_str(), "r", options.get()));
    return *tiff ? S_OK : S_FALSE;
}

}  // namespace geo
