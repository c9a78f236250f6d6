#include "image/load_image.h"

#include <memory>
#include <new>

#include "bad_data.h"
#include "image/image_file.h"
#include "open_image.h"
#include "texel_sinks.h"

namespace image {

namespace {

[[nodiscard]] status::Status Load(const char* path, std::uint32_t width, std::uint32_t height, float* texels,
                                  bool redOnly, std::atomic<std::uint32_t>* loaded) {
    ImageFile file;
    if (status::Status hr = file.open(path); !hr.ok()) return hr;
    std::unique_ptr<RowSource> source;
    if (status::Status hr = OpenImageSource(file, RawSampleFromName(path), &source); !hr.ok()) return hr;
    std::unique_ptr<RowSink> sink;
    if (status::Status hr = MakeTexelSink(source->info(), width, height, texels, &sink, redOnly, loaded); !hr.ok())
        return hr;
    return PumpRows(*source, *sink);
}

status::Status LoadScaled(const char* path, std::uint32_t width, std::uint32_t height, float* texels, bool redOnly,
                          std::atomic<std::uint32_t>* loaded = nullptr) {
    if (path == nullptr || texels == nullptr || width == 0 || height == 0)
        return status::Fail(status::Code::InvalidArgument, {});
    try {
        return InFile(Load(path, width, height, texels, redOnly, loaded), path);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    } catch (...) {
        return status::Fail(status::Code::Failed, {});
    }
}

}  // namespace

status::Status LoadImageScaled(const char* path, std::uint32_t width, std::uint32_t height, float* texels) {
    return LoadScaled(path, width, height, texels, false);
}

status::Status LoadImageScaledRed(const char* path, std::uint32_t width, std::uint32_t height, float* values,
                                  std::atomic<std::uint32_t>* rowsLoaded) {
    return LoadScaled(path, width, height, values, true, rowsLoaded);
}

}  // namespace image
