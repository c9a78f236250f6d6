#include "compare_fast.h"

#include <bit>
#include <cctype>
#include <cstddef>
#include <cstdio>

namespace horizon::testing {
namespace {

std::string Describe(const char* what, std::uint32_t r, std::uint32_t c, float fast, float reference) {
    char text[200];
    std::snprintf(text, sizeof text, "%s at row %u column %u: fast %.9g (0x%08x), reference %.9g (0x%08x)", what, r, c,
                  static_cast<double>(fast), std::bit_cast<std::uint32_t>(fast), static_cast<double>(reference),
                  std::bit_cast<std::uint32_t>(reference));
    return text;
}

}  // namespace

std::optional<std::string> FirstDifference(const std::vector<float>& heights, std::uint32_t width, std::uint32_t height,
                                           const HorizonSettings& settings, unsigned threads) {
    const std::size_t texels = std::size_t{width} * height;
    std::vector<float> reference(texels * 4, -3.0f), fast(texels * 4, -3.0f);
    ComputeHorizonReference(heights.data(), reference.data(), width, height, settings, nullptr);
    HorizonFastOptions options;
    options.threads = threads;
    if (!ComputeHorizonFast(heights.data(), fast.data(), width, height, settings, nullptr, options).ok())
        return "the fast computation ran out of memory";
    static const char* const kChannel[] = {"red", "green", "blue", "alpha"};
    for (std::size_t i = 0; i < texels * 4; ++i) {
        if (std::bit_cast<std::uint32_t>(fast[i]) != std::bit_cast<std::uint32_t>(reference[i]))
            return Describe(kChannel[i % 4], static_cast<std::uint32_t>(i / 4 / width),
                            static_cast<std::uint32_t>(i / 4 % width), fast[i], reference[i]);
    }
    return std::nullopt;
}

std::string FamilyTestName(const ::testing::TestParamInfo<Terrain>& info) {
    std::string name(Name(info.param));
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

}  // namespace horizon::testing
