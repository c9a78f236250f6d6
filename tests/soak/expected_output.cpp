#include "expected_output.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "horizon/horizon_kernel.h"
#include "horizon/tree_rules.h"
#include "image/load_image.h"

namespace {

constexpr std::size_t kHeaderBytes = 128;

std::uint32_t Le32(const std::vector<char>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::string Resolve(const std::string& path, const std::string& runDirectory) {
    return path.empty() || path[0] == '/' ? path : runDirectory + "/" + path;
}

}  // namespace

ExpectedLevel ComputeExpectedLevel(const ModelSettings& s, const std::string& runDirectory) {
    ExpectedLevel expected;
    const auto n = static_cast<std::uint32_t>(s.outRez);
    const std::size_t floats = std::size_t{n} * n * 4;
    std::vector<float> heights(floats), trees(floats);
    if (image::LoadImageScaled(Resolve(s.heightMap, runDirectory).c_str(), n, n, heights.data()) != 0) {
        expected.error = "the loader refuses the height map " + s.heightMap;
        return expected;
    }
    if (image::LoadImageScaled(Resolve(s.treeMap, runDirectory).c_str(), n, n, trees.data()) != 0) {
        expected.error = "the loader refuses the tree map " + s.treeMap;
        return expected;
    }
    const auto isTree = [&](std::size_t texel) { return horizon::IsTree(trees[texel * 4]); };
    const double raise = horizon::kTreeHeightMetres / static_cast<double>(s.height);
    for (std::size_t i = 0; i < std::size_t{n} * n; ++i) {
        if (!isTree(i)) continue;
        for (std::size_t c = 0; c < 3; ++c)
            heights[i * 4 + c] = static_cast<float>(static_cast<double>(heights[i * 4 + c]) + raise);
    }
    expected.texels.assign(floats, 0.0f);
    horizon::ComputeHorizonReference(heights.data(), expected.texels.data(), n, n,
                                     {s.height, s.heightZero, s.terraSize}, {});
    for (std::size_t i = 0; i < std::size_t{n} * n; ++i) {
        if (!isTree(i)) continue;
        expected.texels[i * 4] = horizon::kTreeShadeValue;
        expected.texels[i * 4 + 1] = horizon::kTreeShadeValue;
    }
    return expected;
}

std::string CompareDdsFile(const std::vector<char>& file, std::uint32_t size, const std::vector<float>& level0) {
    if (file.size() < kHeaderBytes) return "shorter than a DDS header";
    if (std::memcmp(file.data(), "DDS ", 4) != 0) return "no DDS signature";
    if (Le32(file, 12) != size || Le32(file, 16) != size) {
        return "header says " + std::to_string(Le32(file, 16)) + " x " + std::to_string(Le32(file, 12)) +
               ", expected " + std::to_string(size);
    }
    // Level 0 and every lower level down to 1 x 1, 16 bytes a texel.
    std::uint64_t bytes = kHeaderBytes;
    for (std::uint64_t s = size;; s = std::max<std::uint64_t>(1, s / 2)) {
        bytes += s * s * 16;
        if (s == 1) break;
    }
    if (file.size() != bytes) {
        return "file has " + std::to_string(file.size()) + " bytes, a full mip chain " + std::to_string(bytes);
    }
    for (std::size_t i = 0; i < level0.size(); ++i) {
        std::uint32_t written = 0;
        std::memcpy(&written, file.data() + kHeaderBytes + i * 4, 4);
        if (written != std::bit_cast<std::uint32_t>(level0[i])) {
            const std::size_t texel = i / 4;
            char values[96];
            std::snprintf(values, sizeof values, ": written %.9g (%08x), expected %.9g (%08x)",
                          static_cast<double>(std::bit_cast<float>(written)), written, static_cast<double>(level0[i]),
                          std::bit_cast<std::uint32_t>(level0[i]));
            return "level 0 differs first at row " + std::to_string(texel / size) + " column " +
                   std::to_string(texel % size) + " channel " + std::to_string(i % 4) + values;
        }
    }
    return {};
}
