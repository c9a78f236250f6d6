#include "image/dds_decoder.h"

#include <bit>
#include <cassert>
#include <cstring>
#include <vector>

#include "bad_data.h"
#include "dds/dds_header.h"
#include "half_float.h"
#include "image/image_file.h"
#include "os/memory_budget.h"

namespace image {

namespace {

// How texels are stored, and what the loader is handed after conversion.
enum class Storage : std::uint8_t { Rgba32F, R32F, Rgba16, Rgba16F, R16F, L16, L8, Bgra8, Bgrx8, Rgba8, Rgbx8 };

struct StorageInfo {
    unsigned bytesPerTexel;
    ChannelLayout layout;
    SampleType type;
};

StorageInfo Describe(Storage storage) {
    switch (storage) {
        case Storage::Rgba32F: return {16, ChannelLayout::Rgba, SampleType::F32};
        case Storage::R32F: return {4, ChannelLayout::Red, SampleType::F32};
        case Storage::Rgba16: return {8, ChannelLayout::Rgba, SampleType::U16};
        case Storage::Rgba16F: return {8, ChannelLayout::Rgba, SampleType::F32};
        case Storage::R16F: return {2, ChannelLayout::Red, SampleType::F32};
        case Storage::L16: return {2, ChannelLayout::Grey, SampleType::U16};
        case Storage::L8: return {1, ChannelLayout::Grey, SampleType::U8};
        case Storage::Bgra8:
        case Storage::Rgba8: return {4, ChannelLayout::Rgba, SampleType::U8};
        case Storage::Bgrx8:
        case Storage::Rgbx8: return {4, ChannelLayout::Rgb, SampleType::U8};
    }
    return {};
}

using dds::Le32;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

[[nodiscard]] bool StorageFromFourCc(std::uint32_t fourCc, Storage* storage) {
    switch (fourCc) {
        case 116: *storage = Storage::Rgba32F; return true;
        case 114: *storage = Storage::R32F; return true;
        case 36: *storage = Storage::Rgba16; return true;
        case 113: *storage = Storage::Rgba16F; return true;
        case 111: *storage = Storage::R16F; return true;
        default: return false;
    }
}

[[nodiscard]] bool StorageFromDxgi(std::uint32_t format, Storage* storage) {
    switch (format) {
        case 2:  // R32G32B32A32_FLOAT
            *storage = Storage::Rgba32F;
            return true;
        case 41:  // R32_FLOAT
            *storage = Storage::R32F;
            return true;
        case 11:  // R16G16B16A16_UNORM
            *storage = Storage::Rgba16;
            return true;
        case 10:  // R16G16B16A16_FLOAT
            *storage = Storage::Rgba16F;
            return true;
        case 54:  // R16_FLOAT
            *storage = Storage::R16F;
            return true;
        case 56:  // R16_UNORM, the DX10 spelling of L16
            *storage = Storage::L16;
            return true;
        case 61:  // R8_UNORM, the DX10 spelling of L8
            *storage = Storage::L8;
            return true;
        case 28:  // R8G8B8A8_UNORM (and _SRGB: no colour-space conversion)
        case 29: *storage = Storage::Rgba8; return true;
        case 87:  // B8G8R8A8_UNORM (and _SRGB)
        case 91: *storage = Storage::Bgra8; return true;
        case 88:  // B8G8R8X8_UNORM (and _SRGB)
        case 93: *storage = Storage::Bgrx8; return true;
        default: return false;
    }
}

[[nodiscard]] bool StorageFromMasks(const dds::Header& header, Storage* storage) {
    const std::uint32_t flags = header.pixelFlags;
    const std::uint32_t bits = header.rgbBits;
    const auto [r, g, b, a] = header.masks;
    if ((flags & dds::kPixelLuminance) != 0 && a == 0) {
        if (bits == 8 && r == 0xFF)
            *storage = Storage::L8;
        else if (bits == 16 && r == 0xFFFF)
            *storage = Storage::L16;
        else
            return false;
        return true;
    }
    if ((flags & dds::kPixelRgb) == 0 || bits != 32) return false;
    if (r == 0x00FF0000u && g == 0x0000FF00u && b == 0x000000FFu) {
        if (a == 0xFF000000u)
            *storage = Storage::Bgra8;
        else if (a == 0)
            *storage = Storage::Bgrx8;
        else
            return false;
        return true;
    }
    if (r == 0x000000FFu && g == 0x0000FF00u && b == 0x00FF0000u) {
        if (a == 0xFF000000u)
            *storage = Storage::Rgba8;
        else if (a == 0)
            *storage = Storage::Rgbx8;
        else
            return false;
        return true;
    }
    return false;
}

class DdsSource final : public RowSource {
public:
    DdsSource(ImageFile& file, const ImageInfo& info, Storage storage, std::size_t storedRowBytes)
        : file_(file), storage_(storage), storedRowBytes_(storedRowBytes) {
        info_ = info;
    }

    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override {
        const std::size_t rowBytes = info_.rowBytes();
        if (storedAsLoaded()) {
            if (!file_.readExact(destination, rowBytes * count))
                return RowsBrokenAfter("DDS", "ends", rowsRead_, info_.height);
            rowsRead_ += count;
            return status::Ok();
        }
        if (staging_.size() != storedRowBytes_) staging_.resize(storedRowBytes_);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!file_.readExact(staging_.data(), storedRowBytes_))
                return RowsBrokenAfter("DDS", "ends", rowsRead_, info_.height);
            ++rowsRead_;
            convertRow(staging_.data(), destination + i * rowBytes);
        }
        return status::Ok();
    }

private:
    // Rows that need no change on a little-endian machine are read straight in.
    bool storedAsLoaded() const {
        const bool bytes = storage_ == Storage::L8 || storage_ == Storage::Rgba8;
        const bool words = storage_ == Storage::Rgba32F || storage_ == Storage::R32F || storage_ == Storage::Rgba16 ||
                           storage_ == Storage::L16;
        return bytes || (words && std::endian::native == std::endian::little);
    }

    void convertRow(const std::uint8_t* in, std::uint8_t* out) const {
        const std::size_t width = info_.width;
        switch (storage_) {
            case Storage::Rgba32F:
            case Storage::R32F:
                for (std::size_t i = 0; i < storedRowBytes_; i += 4) store(out + i, Le32(in + i));
                break;
            case Storage::Rgba16:
            case Storage::L16:
                for (std::size_t i = 0; i < storedRowBytes_; i += 2) store(out + i, Le16(in + i));
                break;
            case Storage::Rgba16F:
            case Storage::R16F:
                for (std::size_t i = 0, o = 0; i < storedRowBytes_; i += 2, o += 4) {
                    store(out + o, std::bit_cast<std::uint32_t>(HalfToFloat(Le16(in + i))));
                }
                break;
            case Storage::L8:
            case Storage::Rgba8: std::memcpy(out, in, storedRowBytes_); break;
            case Storage::Bgra8:
                for (std::size_t x = 0; x < width; ++x) {
                    out[4 * x + 0] = in[4 * x + 2];
                    out[4 * x + 1] = in[4 * x + 1];
                    out[4 * x + 2] = in[4 * x + 0];
                    out[4 * x + 3] = in[4 * x + 3];
                }
                break;
            case Storage::Bgrx8:
                for (std::size_t x = 0; x < width; ++x) {
                    out[3 * x + 0] = in[4 * x + 2];
                    out[3 * x + 1] = in[4 * x + 1];
                    out[3 * x + 2] = in[4 * x + 0];
                }
                break;
            case Storage::Rgbx8:
                for (std::size_t x = 0; x < width; ++x) std::memcpy(out + 3 * x, in + 4 * x, 3);
                break;
        }
    }

    template <typename T>
    static void store(std::uint8_t* out, T value) {
        std::memcpy(out, &value, sizeof value);
    }

    ImageFile& file_;
    Storage storage_;
    std::size_t storedRowBytes_;
    std::vector<std::uint8_t> staging_;
    std::uint64_t rowsRead_ = 0;
};

}  // namespace

status::Status OpenDdsSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    assert(source != nullptr);
    const std::uint64_t start = file.position();
    std::uint8_t bytes[dds::kHeaderBytes + dds::kDx10Bytes];
    const std::size_t got = file.read(bytes, sizeof bytes);
    dds::Header header;
    if (!dds::ReadHeader(bytes, got, &header).ok()) return BadData("DDS header cut short or damaged");
    if (header.cubeOrVolume) return BadData("DDS cube or volume textures are not read");
    file.seek(start + header.dataOffset());

    Storage storage{};
    if ((header.pixelFlags & dds::kPixelFourCc) != 0) {
        if (header.dx10) {
            if (header.dimension != dds::kDx10Texture2D || (header.miscFlags & dds::kDx10MiscCube) != 0 ||
                header.arraySize == 0 || !StorageFromDxgi(header.dxgiFormat, &storage)) {
                return BadData("DDS of DXGI format " + std::to_string(header.dxgiFormat) + " is not read");
            }
        } else if (!StorageFromFourCc(header.fourCc, &storage)) {
            return BadData("DDS of this compressed or four-character format is not read");
        }
    } else if (!StorageFromMasks(header, &storage)) {
        return BadData("DDS of these channel masks is not read");
    }

    const StorageInfo described = Describe(storage);
    ImageInfo info;
    info.height = header.height;
    info.width = header.width;
    info.layout = described.layout;
    info.type = described.type;
    info.maxValue = described.type == SampleType::U16 ? 65535 : 255;
    if (info.width == 0 || info.height == 0) return BadData("DDS of no texels");

    // Level 0 is stored first, rows packed; a file too short for it is truncated.
    const std::size_t storedRowBytes = std::size_t{info.width} * described.bytesPerTexel;
    std::uint64_t levelBytes = 0;
    if (!os::CheckedMul(storedRowBytes, info.height, &levelBytes) || file.position() > file.size() ||
        levelBytes > file.size() - file.position()) {
        return CutShort("DDS");
    }
    *source = std::make_unique<DdsSource>(file, info, storage, storedRowBytes);
    return status::Ok();
}

}  // namespace image
