#include "export/horizon_map_file.h"

#include <algorithm>
#include <memory>
#include <new>

#include "dds/dds_header.h"
#include "image/dds_decoder.h"
#include "image/image_file.h"
#include "os/memory_budget.h"

namespace exporter {

namespace {

std::string FourCcText(std::uint32_t fourCc) {
    std::string text;
    bool printable = true;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(fourCc >> (8 * i) & 0xFF);
        printable = printable && c >= 0x20 && c < 0x7F;
        text += c;
    }
    return printable ? "\"" + text + "\"" : std::to_string(fourCc);
}

// The checks of the header whose failures deserve their own words; the shared DDS
// decoder repeats the structural ones.
[[nodiscard]] bool HeaderFits(const std::uint8_t* bytes, std::size_t got, std::uint64_t fileBytes, std::string* why) {
    dds::Header header;
    if (status::Status read = dds::ReadHeader(bytes, got, &header); !read.ok()) {
        *why = std::move(read.reason);
        return false;
    }
    if ((header.pixelFlags & dds::kPixelFourCc) == 0 || header.fourCc != dds::kFourCcFloatRgba) {
        *why = "a DDS file, but not a horizon map: its pixel format is " +
               ((header.pixelFlags & dds::kPixelFourCc) == 0 ? std::string("given by bit masks")
                                                             : "FourCC " + FourCcText(header.fourCc)) +
               ", not FourCC 116 (four 32-bit floats)";
        return false;
    }
    if (header.cubeOrVolume) {
        *why = "a cube map or volume texture, not a horizon map";
        return false;
    }
    const std::uint64_t height = header.height, width = header.width;
    // The levels the header gives, each half the one before, down to 1 x 1 at most.
    const std::uint32_t levels = header.mipLevels;
    if (levels > dds::FullMipCount(header.width, header.height)) {
        *why = "the header gives " + std::to_string(levels) + " mip levels, more than " + std::to_string(width) +
               " x " + std::to_string(height) + " texels have";
        return false;
    }
    std::uint64_t chainBytes = 0;
    bool fits = true;
    for (std::uint32_t level = 0; level < levels && fits; ++level) {
        std::uint64_t levelBytes = 0;
        fits = os::CheckedMul(std::max(width >> level, std::uint64_t{1}), std::max(height >> level, std::uint64_t{1}),
                              16, &levelBytes) &&
               !__builtin_add_overflow(chainBytes, levelBytes, &chainBytes);
    }
    fits = fits && chainBytes <= ~std::uint64_t{0} - dds::kHeaderBytes;
    // The smaller levels are never read, but a file without them is not whole.
    if (!fits || chainBytes > fileBytes - dds::kHeaderBytes) {
        const std::string needs = fits ? std::to_string(chainBytes + dds::kHeaderBytes) : "more than 2^64";
        *why = "cut short: level 0 of " + std::to_string(width) + " x " + std::to_string(height) + " texels" +
               (levels > 1 ? " and its " + std::to_string(levels - 1) + " smaller levels need " : " needs ") + needs +
               " bytes, the file has " + std::to_string(fileBytes);
        return false;
    }
    return true;
}

// Invalid data, for the reason in `why`.
status::Status Refused(const char* path, const std::string& why) {
    return status::Fail(status::Code::InvalidData, std::string(path) + ": " + why);
}

[[nodiscard]] status::Status Read(const char* path, HorizonMap* map, std::string* why) {
    image::ImageFile file;
    if (status::Status opened = file.open(path); !opened.ok()) {
        if (opened.code != status::Code::InvalidData) return opened;
        *why = "not a regular file, or empty";
        return Refused(path, *why);
    }
    std::uint8_t header[dds::kHeaderBytes + dds::kDx10Bytes] = {};
    const std::size_t got = file.read(header, sizeof header);
    if (!HeaderFits(header, got, file.size(), why)) return Refused(path, *why);
    file.seek(0);

    std::unique_ptr<image::RowSource> source;
    if (!image::OpenDdsSource(file, &source).ok() ||
        source->info().rowBytes() != std::size_t{dds::Le32(header + 16)} * 16) {
        *why = "the DDS header is inconsistent";
        return Refused(path, *why);
    }
    const image::ImageInfo& info = source->info();
    const std::size_t count = std::size_t{info.width} * info.height * 4;  // fits: checked against the file
    if (auto mapped = file.mapWhole()) {
        // Level 0 follows the header; the file's bits as they lie in the page cache.
        const auto* first = reinterpret_cast<const float*>(mapped.get() + dds::kHeaderBytes);
        *map = HorizonMap{info.width, info.height, {first, count}, std::move(mapped)};
        return status::Ok();
    }
    if (!os::CheckFitsInMemory(std::uint64_t{count} * sizeof(float)).ok()) return status::OutOfMemory();
    std::vector<float> texels(count);
    // Float RGBA rows come through unconverted: the bits as stored.
    if (!source->readRows(reinterpret_cast<std::uint8_t*>(texels.data()), info.height).ok()) {
        *why = "cut short inside level 0";
        return Refused(path, *why);
    }
    *map = MapInMemory(info.width, info.height, std::move(texels));
    return status::Ok();
}

}  // namespace

HorizonMap MapInMemory(std::uint32_t width, std::uint32_t height, std::vector<float> texels) {
    auto owned = std::make_shared<const std::vector<float>>(std::move(texels));
    const std::span<const float> values(*owned);
    return HorizonMap{width, height, values, std::move(owned)};
}

status::Status ReadHorizonMap(const char* path, HorizonMap* map, std::string* why) {
    if (path == nullptr || map == nullptr || why == nullptr) return status::Fail(status::Code::InvalidArgument, {});
    *map = HorizonMap{};
    why->clear();
    try {
        return Read(path, map, why);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
}

}  // namespace exporter
