#include "image/decode_image.h"

#include <memory>
#include <new>

#include "image/image_file.h"
#include "open_image.h"
#include "os/memory_budget.h"
#include "texel_sinks.h"

namespace image {

namespace {

[[nodiscard]] HRESULT Decode(const char* path, DecodedImage* image) {
    ImageFile file;
    if (const HRESULT hr = file.open(path); hr != S_OK) return hr;
    std::unique_ptr<RowSource> source;
    if (const HRESULT hr = OpenImageSource(file, RawSampleFromName(path), &source); hr != S_OK) return hr;
    const ImageInfo& info = source->info();

    std::uint64_t bytes = 0;
    const bool fits = os::CheckedMul(info.width, info.height, 4 * sizeof(float), &bytes);
    if (!os::CheckFitsInMemory(bytes, !fits).ok()) return E_OUTOFMEMORY;
    std::vector<float> texels(static_cast<std::size_t>(bytes / sizeof(float)));

    std::unique_ptr<RowSink> sink;
    if (const HRESULT hr = MakeTexelSink(info, info.width, info.height, texels.data(), &sink); hr != S_OK) return hr;
    if (const HRESULT hr = PumpRows(*source, *sink); hr != S_OK) return hr;
    image->width = info.width;
    image->height = info.height;
    image->texels = std::move(texels);
    return S_OK;
}

[[nodiscard]] HRESULT ReadInfo(const char* path, ImageInfo* info) {
    ImageFile file;
    if (const HRESULT hr = file.open(path); hr != S_OK) return hr;
    std::unique_ptr<RowSource> source;
    if (const HRESULT hr = OpenImageSource(file, RawSampleFromName(path), &source); hr != S_OK) return hr;
    *info = source->info();
    return S_OK;
}

}  // namespace

HRESULT DecodeImageFile(const char* path, DecodedImage* image) {
    if (path == nullptr || image == nullptr) return E_INVALIDARG;
    *image = DecodedImage{};
    try {
        return Decode(path, image);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT ReadImageInfo(const char* path, ImageInfo* info) {
    if (path == nullptr || info == nullptr) return E_INVALIDARG;
    try {
        return ReadInfo(path, info);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace image
