#include "sky/engine_texture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "dds/dds_header.h"
#include "dds/mip_chain.h"
#include "skyline/sampling_model.h"

namespace sky {

namespace {

// One slice's level: four channels per texel, packed rows.
struct Level {
    std::uint32_t width, height;
    std::vector<float> rgba;
};

Level Halve(const Level& from) {
    Level to{std::max(1u, from.width / 2), std::max(1u, from.height / 2), {}};
    to.rgba.resize(std::size_t{to.width} * to.height * 4);
    dds::DownsampleLevel(from.rgba.data(), from.width, from.height, to.rgba.data());
    return to;
}

// The level's halves in pieces, so that a large level is never held twice.
status::Status Append(const SliceBytes& put, const Level& level) {
    constexpr std::size_t kPiece = std::size_t{1} << 20;  // values
    std::vector<std::uint8_t> out;
    for (std::size_t first = 0; first < level.rgba.size(); first += kPiece) {
        out.clear();
        for (std::size_t i = first; i < std::min(level.rgba.size(), first + kPiece); ++i) {
            const std::uint16_t h = HalfBits(level.rgba[i]);
            out.push_back(static_cast<std::uint8_t>(h));
            out.push_back(static_cast<std::uint8_t>(h >> 8));
        }
        if (status::Status taken = put(out); !taken.ok()) return taken;
    }
    return status::Ok();
}

}  // namespace

std::uint32_t MipLevels(std::uint32_t width, std::uint32_t height) { return dds::FullMipCount(width, height); }

std::uint16_t HalfBits(float value) {
    const std::uint32_t f = std::bit_cast<std::uint32_t>(value);
    const auto sign = static_cast<std::uint16_t>((f >> 16) & 0x8000u);
    const std::uint32_t magnitude = f & 0x7FFFFFFFu;
    if (magnitude > 0x7F800000u) return sign | 0x7E00u;   // NaN
    if (magnitude >= 0x477FF000u) return sign | 0x7C00u;  // from 65520 (halfway past 65504) on: infinity
    if (magnitude < 0x38800000u) {
        // Below 2^-14 the half counts units of 2^-24: scaling is exact, and the
        // default rounding of nearbyint is to nearest, ties to even.
        const float units = std::nearbyint(std::bit_cast<float>(magnitude) * 0x1.0p24f);
        return static_cast<std::uint16_t>(sign | static_cast<std::uint32_t>(units));
    }
    // Rebias the exponent (127 to 15) and round the mantissa from 23 to 10 bits, ties
    // to even; a carry moves into the exponent as it should.
    std::uint32_t bits = magnitude - 0x38000000u;
    bits += 0x0FFFu + ((bits >> 13) & 1u);
    return static_cast<std::uint16_t>(sign | (bits >> 13));
}

std::vector<std::uint8_t> EngineDdsHeader(std::uint32_t width, std::uint32_t height, std::uint32_t slices) {
    const auto header = dds::HalfRgbaArrayHeader(width, height, MipLevels(width, height), slices);
    return {header.begin(), header.end()};
}

std::uint64_t EngineSliceBytes(std::uint32_t width, std::uint32_t height) {
    std::uint64_t bytes = 0;
    for (std::uint32_t l = 0; l < MipLevels(width, height); ++l)
        bytes += std::uint64_t{std::max(1u, width >> l)} * std::max(1u, height >> l) * 8;
    return bytes;
}

status::Status EncodeEngineSlice(const std::array<const float*, 4>& bands, std::uint32_t width, std::uint32_t height,
                                 const SliceBytes& put) {
    const std::size_t texels = std::size_t{width} * height;
    Level level{width, height, std::vector<float>(texels * 4)};
    for (std::size_t i = 0; i < texels; ++i)
        for (int c = 0; c < 4; ++c) {
            const float angle = bands[c][i];
            level.rgba[i * 4 + c] = angle == skyline::kNoData
                                        ? -1.0f
                                        : static_cast<float>(std::sin(angle * (3.14159265358979323846 / 180)));
        }
    if (status::Status appended = Append(put, level); !appended.ok()) return appended;
    for (std::uint32_t l = 1; l < MipLevels(width, height); ++l) {
        level = Halve(level);
        if (status::Status appended = Append(put, level); !appended.ok()) return appended;
    }
    return status::Ok();
}

status::Status EncodeEngineDds(const std::vector<std::vector<float>>& bands, std::uint32_t width, std::uint32_t height,
                               std::vector<std::uint8_t>* bytes) {
    const std::size_t texels = std::size_t{width} * height;
    if (bytes == nullptr || bands.empty() || bands.size() % 4 != 0 || width == 0 || height == 0)
        return status::Fail(status::Code::InvalidArgument, {});
    for (const auto& band : bands)
        if (band.size() != texels) return status::Fail(status::Code::InvalidArgument, {});
    try {
        const auto slices = static_cast<std::uint32_t>(bands.size() / 4);
        *bytes = EngineDdsHeader(width, height, slices);
        const SliceBytes append = [&](const std::vector<std::uint8_t>& part) {
            bytes->insert(bytes->end(), part.begin(), part.end());
            return status::Ok();
        };
        for (std::uint32_t s = 0; s < slices; ++s) {
            const std::array<const float*, 4> slice{bands[s * 4].data(), bands[s * 4 + 1].data(),
                                                    bands[s * 4 + 2].data(), bands[s * 4 + 3].data()};
            if (status::Status made = EncodeEngineSlice(slice, width, height, append); !made.ok()) return made;
        }
        return status::Ok();
    } catch (const std::bad_alloc&) {
        bytes->clear();
        return status::OutOfMemory();
    }
}

}  // namespace sky
