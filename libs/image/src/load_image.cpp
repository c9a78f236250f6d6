#include "image/load_image.h"

#include <memory>
#include <new>

#include "open_image.h"
#include "image/image_file.h"
#include "texel_sinks.h"

namespace image {

namespace {

[[nodiscard]] HRESULT Load(const char* path, std::uint32_t width, std::uint32_t height, float* texels, bool redOnly,
                           std::atomic<std::uint32_t>* loaded) {
    ImageFile file;
    if (const HRESULT hr = file.open(path); hr != S_OK) return hr;
    std::unique_ptr<RowSource> source;
    if (const HRESULT hr = OpenImageSource(file, RawSampleFromName(path), &source); hr != S_OK) return hr;
    std::unique_ptr<RowSink> sink;
    if (const HRESULT hr = MakeTexelSink(source->info(), width, height, texels, &sink, redOnly, loaded); hr != S_OK)
        return hr;
    return PumpRows(*source, *sink);
}

HRESULT LoadScaled(const char* path, std::uint32_t width, std::uint32_t height, float* texels, bool redOnly,
                   std::atomic<std::uint32_t>* loaded = nullptr) {
    if (path == nullptr || texels == nullptr || width == 0 || height == 0) return E_INVALIDARG;
    try {
        return Load(path, width, height, texels, redOnly, loaded);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace

HRESULT LoadImageScaled(const char* path, std::uint32_t width, std::uint32_t height, float* texels) {
    return LoadScaled(path, width, height, texels, false);
}

HRESULT LoadImageScaledRed(const char* path, std::uint32_t width, std::uint32_t height, float* values,
                           std::atomic<std::uint32_t>* rowsLoaded) {
    return LoadScaled(path, width, height, values, true, rowsLoaded);
}

}  // namespace image
