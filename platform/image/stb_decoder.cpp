#include "platform/image/stb_decoder.h"

#include <stb/stb_image.h>

#include <cstring>

#include "platform/image/image_file.h"
#include "platform/image/memory_budget.h"

namespace {

int ReadCallback(void* user, char* data, int size) {
    if (size <= 0) return 0;
    return static_cast<int>(static_cast<ImageFile*>(user)->Read(data, static_cast<std::size_t>(size)));
}

void SkipCallback(void* user, int n) {
    auto* file = static_cast<ImageFile*>(user);
    const std::uint64_t position = file->Position();
    if (n < 0 && static_cast<std::uint64_t>(-static_cast<std::int64_t>(n)) > position) {
        file->Seek(0);
    } else {
        file->Seek(position + static_cast<std::uint64_t>(static_cast<std::int64_t>(n)));
    }
}

int EofCallback(void* user) {
    const auto* file = static_cast<ImageFile*>(user);
    return file->Position() >= file->Size() ? 1 : 0;
}

constexpr stbi_io_callbacks kCallbacks = {&ReadCallback, &SkipCallback, &EofCallback};

struct StbFree {
    void operator()(void* pixels) const { stbi_image_free(pixels); }
};

// Hands out the rows of an image that stb_image decoded whole.
class StbSource final : public RowSource {
public:
    StbSource(std::unique_ptr<std::uint8_t, StbFree> pixels, const ImageInfo& info) : pixels_(std::move(pixels)) {
        info_ = info;
    }

    HRESULT ReadRows(std::uint8_t* destination, std::uint32_t count) override {
        const std::size_t bytes = info_.RowBytes() * count;
        std::memcpy(destination, pixels_.get() + offset_, bytes);
        offset_ += bytes;
        return S_OK;
    }

private:
    std::unique_ptr<std::uint8_t, StbFree> pixels_;
    std::size_t offset_ = 0;
};

ChannelLayout LayoutFromComponents(int components) {
    switch (components) {
        case 1:
            return ChannelLayout::Grey;
        case 2:
            return ChannelLayout::GreyAlpha;
        case 3:
            return ChannelLayout::Rgb;
        default:
            return ChannelLayout::Rgba;
    }
}

}  // namespace

HRESULT OpenStbSource(ImageFile& file, ImageFormat format, std::unique_ptr<RowSource>* source) {
    const bool hdr = format == ImageFormat::Hdr;
    int width = 0, height = 0, components = 0;
    file.Seek(0);
    if (!stbi_info_from_callbacks(&kCallbacks, &file, &width, &height, &components)) return D3DXERR_INVALIDDATA;
    if (width <= 0 || height <= 0 || components < 1 || components > 4) return D3DXERR_INVALIDDATA;

    // stb_image decodes the whole image and may hold a second copy while converting.
    std::uint64_t bytes = 0;
    const bool fits = CheckedMul(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                                 static_cast<std::uint64_t>(components) * (hdr ? 4u : 1u) * 2u, &bytes);
    if (const HRESULT hr = CheckFitsInMemory(bytes, !fits); hr != S_OK) return hr;

    file.Seek(0);
    file.ClearReadAfterEnd();
    int loaded_width = 0, loaded_height = 0, loaded_components = 0;
    void* pixels = hdr ? static_cast<void*>(stbi_loadf_from_callbacks(&kCallbacks, &file, &loaded_width, &loaded_height,
                                                                      &loaded_components, 0))
                       : static_cast<void*>(stbi_load_from_callbacks(&kCallbacks, &file, &loaded_width, &loaded_height,
                                                                     &loaded_components, 0));
    std::unique_ptr<std::uint8_t, StbFree> owned(static_cast<std::uint8_t*>(pixels));
    if (!owned) return D3DXERR_INVALIDDATA;
    // stb_image fills what a truncated file lacks with zeros; asking for more once
    // everything was read is how a truncated file shows.
    if (file.ReadAfterEnd()) return D3DXERR_INVALIDDATA;
    if (loaded_width != width || loaded_height != height || loaded_components < 1 || loaded_components > 4) {
        return D3DXERR_INVALIDDATA;
    }

    ImageInfo info;
    info.width = static_cast<std::uint32_t>(width);
    info.height = static_cast<std::uint32_t>(height);
    info.layout = LayoutFromComponents(loaded_components);
    info.type = hdr ? SampleType::F32 : SampleType::U8;
    info.max_value = 255;
    *source = std::make_unique<StbSource>(std::move(owned), info);
    return S_OK;
}
