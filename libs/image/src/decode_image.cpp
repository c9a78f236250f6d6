#include "image/decode_image.h"

#include <memory>
#include <new>

#include "bad_data.h"
#include "image/image_file.h"
#include "open_image.h"
#include "os/memory_budget.h"
#include "texel_sinks.h"

namespace image {

namespace {

[[nodiscard]] status::Status Decode(const char* path, DecodedImage* image) {
    ImageFile file;
    if (status::Status hr = file.open(path); !hr.ok()) return hr;
    std::unique_ptr<RowSource> source;
    if (status::Status hr = OpenImageSource(file, RawSampleFromName(path), &source); !hr.ok()) return hr;
    const ImageInfo& info = source->info();

    std::uint64_t bytes = 0;
    const bool fits = os::CheckedMul(info.width, info.height, 4 * sizeof(float), &bytes);
    if (!os::CheckFitsInMemory(bytes, !fits).ok()) return status::OutOfMemory();
    std::vector<float> texels(static_cast<std::size_t>(bytes / sizeof(float)));

    std::unique_ptr<RowSink> sink;
    if (status::Status hr = MakeTexelSink(info, info.width, info.height, texels.data(), &sink); !hr.ok()) return hr;
    if (status::Status hr = PumpRows(*source, *sink); !hr.ok()) return hr;
    image->width = info.width;
    image->height = info.height;
    image->texels = std::move(texels);
    return status::Ok();
}

[[nodiscard]] status::Status ReadInfo(const char* path, ImageInfo* info) {
    ImageFile file;
    if (status::Status hr = file.open(path); !hr.ok()) return hr;
    std::unique_ptr<RowSource> source;
    if (status::Status hr = OpenImageSource(file, RawSampleFromName(path), &source); !hr.ok()) return hr;
    *info = source->info();
    return status::Ok();
}

}  // namespace

status::Status DecodeImageFile(const char* path, DecodedImage* image) {
    if (path == nullptr || image == nullptr) return status::Fail(status::Code::InvalidArgument, {});
    *image = DecodedImage{};
    try {
        return InFile(Decode(path, image), path);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    } catch (...) {
        return status::Fail(status::Code::Failed, {});
    }
}

status::Status ReadImageInfo(const char* path, ImageInfo* info) {
    if (path == nullptr || info == nullptr) return status::Fail(status::Code::InvalidArgument, {});
    try {
        return InFile(ReadInfo(path, info), path);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    } catch (...) {
        return status::Fail(status::Code::Failed, {});
    }
}

}  // namespace image
