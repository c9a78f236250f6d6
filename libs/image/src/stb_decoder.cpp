#include "stb_decoder.h"

#include <stb/stb_image.h>

#include <cstring>
#include <string>

#include "bad_data.h"
#include "hdr_decoder.h"
#include "image/image_file.h"
#include "os/memory_budget.h"

namespace image {

namespace {

// stb_image fills whatever a truncated file lacks with zeros and carries on, so
// truncation is caught here, in the reads. stb_image reads in two ways: it refills
// its own fixed buffer in chunks (always the same destination, the first one it
// reads into), where a short read at the end is normal and only an empty one means
// it wanted more; and it copies runs it needs straight into the decoder's memory,
// where any short read means the data ran out.
struct StbInput {
    ImageFile* file;
    char* chunkBuffer = nullptr;
    bool ranOut = false;
};

int ReadCallback(void* user, char* data, int size) {
    auto* input = static_cast<StbInput*>(user);
    if (size <= 0) return 0;
    if (input->chunkBuffer == nullptr) input->chunkBuffer = data;
    const std::size_t n = input->file->read(data, static_cast<std::size_t>(size));
    if (data == input->chunkBuffer ? n == 0 : n < static_cast<std::size_t>(size)) input->ranOut = true;
    return static_cast<int>(n);
}

void SkipCallback(void* user, int n) {
    ImageFile* file = static_cast<StbInput*>(user)->file;
    const std::uint64_t position = file->position();
    if (n < 0 && static_cast<std::uint64_t>(-static_cast<std::int64_t>(n)) > position) {
        file->seek(0);
    } else {
        file->seek(position + static_cast<std::uint64_t>(static_cast<std::int64_t>(n)));
    }
}

int EofCallback(void* user) {
    const ImageFile* file = static_cast<StbInput*>(user)->file;
    return file->position() >= file->size() ? 1 : 0;
}

constexpr std::uint64_t kMaxPixelsPerByte = 64;

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

    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override {
        const std::size_t bytes = info_.rowBytes() * count;
        std::memcpy(destination, pixels_.get() + offset_, bytes);
        offset_ += bytes;
        return status::Ok();
    }

private:
    std::unique_ptr<std::uint8_t, StbFree> pixels_;
    std::size_t offset_ = 0;
};

ChannelLayout LayoutFromComponents(int components) {
    switch (components) {
        case 1: return ChannelLayout::Grey;
        case 2: return ChannelLayout::GreyAlpha;
        case 3: return ChannelLayout::Rgb;
        default: return ChannelLayout::Rgba;
    }
}

const char* FormatName(ImageFormat format) { return format == ImageFormat::Bmp ? "BMP" : "TGA"; }

}  // namespace

status::Status OpenStbSource(ImageFile& file, ImageFormat format, std::unique_ptr<RowSource>* source) {
    if (format == ImageFormat::Hdr) return OpenHdrSource(file, source);
    int width = 0, height = 0, components = 0;
    file.seek(0);
    StbInput probe{&file};
    if (!stbi_info_from_callbacks(&kCallbacks, &probe, &width, &height, &components))
        return BadData(std::string(FormatName(format)) + " header cut short or damaged (" + stbi_failure_reason() + ")");
    if (width <= 0 || height <= 0 || components < 1 || components > 4)
        return BadData(std::string(FormatName(format)) + " of no texels or of " + std::to_string(components) +
                       " channels is not read");

    // No format read here packs more than 64 pixels into a byte (TGA runs: 128 pixels
    // in two bytes at best), so a larger claim is a cut-short file; stb_image would
    // fill in the rest with zeros, at the cost of the whole claimed size.
    std::uint64_t texelCount = 0;
    if (!os::CheckedMul(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), &texelCount) ||
        texelCount / kMaxPixelsPerByte > file.size()) {
        return CutShort(FormatName(format));
    }

    // stb_image decodes the whole image and may hold a second copy while converting.
    std::uint64_t bytes = 0;
    const bool fits = os::CheckedMul(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                                     static_cast<std::uint64_t>(components) * 2u, &bytes);
    if (!os::CheckFitsInMemory(bytes, !fits).ok()) return status::OutOfMemory();

    file.seek(0);
    StbInput input{&file};
    int loadedWidth = 0, loadedHeight = 0, loadedComponents = 0;
    std::uint8_t* pixels =
        stbi_load_from_callbacks(&kCallbacks, &input, &loadedWidth, &loadedHeight, &loadedComponents, 0);
    std::unique_ptr<std::uint8_t, StbFree> owned(pixels);
    if (!owned || input.ranOut)
        return BadData(std::string(FormatName(format)) + " data " + (input.ranOut ? "ends early" : "is damaged") +
                       (owned ? "" : std::string(" (") + stbi_failure_reason() + ")"));
    if (loadedWidth != width || loadedHeight != height || loadedComponents < 1 || loadedComponents > 4) {
        return BadData(std::string(FormatName(format)) + " decodes to another size than its header says");
    }

    ImageInfo info;
    info.width = static_cast<std::uint32_t>(width);
    info.height = static_cast<std::uint32_t>(height);
    info.layout = LayoutFromComponents(loadedComponents);
    info.type = SampleType::U8;
    info.maxValue = 255;
    *source = std::make_unique<StbSource>(std::move(owned), info);
    return status::Ok();
}

}  // namespace image
