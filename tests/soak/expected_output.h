#pragma once
// What a successful run must have written, computed the plain way: both maps
// loaded at OutRez by the image loader, the tree raise, the reference horizon
// loops, the tree shade.
#include <cstdint>
#include <string>
#include <vector>

#include "command_model.h"

// Level 0 of the horizon map as RGBA floats (OutRez x OutRez), or an error text.
struct ExpectedLevel {
    std::vector<float> texels;
    std::string error;
};

ExpectedLevel ComputeExpectedLevel(const ModelSettings& settings, const std::string& runDirectory);

// Checks a written DDS file against the expected level 0: header, size of the
// whole mip chain, and level 0 bit for bit. Empty when it matches, else what differs.
std::string CompareDdsFile(const std::vector<char>& file, std::uint32_t size, const std::vector<float>& level0);
