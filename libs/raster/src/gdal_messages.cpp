#include "gdal_messages.h"

#include <cpl_error.h>
#include <gdal.h>

#include <mutex>

namespace raster {

namespace {

void CPL_STDCALL Collect(CPLErr kind, CPLErrorNum number, const char* text) {
    auto* messages = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
    if (messages != nullptr && kind >= CE_Warning)
        messages->take(kind != CE_Warning, number == CPLE_OutOfMemory, text != nullptr ? text : "");
}

}  // namespace

GdalMessages::GdalMessages() { CPLPushErrorHandlerEx(Collect, this); }

GdalMessages::~GdalMessages() { CPLPopErrorHandler(); }

void GdalMessages::take(bool error, bool outOfMemory, const char* text) {
    outOfMemory_ = outOfMemory_ || outOfMemory;
    try {
        if (error)
            lastError_ = text;
        else
            warnings_.emplace_back(text);
    } catch (...) {
        // A message lost to exhausted memory; the failure itself still comes back.
    }
}

void RegisterGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

}  // namespace raster
