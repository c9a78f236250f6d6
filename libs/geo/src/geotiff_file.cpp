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

status::Status OpenGeoTiff(const std::string& path, TiffFile* tiff) {
    tiff->reset();
    RegisterGeoTiffTags();
    const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) return status::OutOfMemory();
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &Quiet, nullptr);
    tiff->reset(TIFFOpenExt(path.c_str(), "r", options.get()));
    return *tiff ? status::Ok() : status::Fail(status::Code::InvalidData, path + ": no TIFF libtiff opens");
}

}  // namespace geo
