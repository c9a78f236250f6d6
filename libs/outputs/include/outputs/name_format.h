#pragma once
// Which format an output's name asks for.
#include <cstdint>
#include <string>

namespace outputs {

enum class FloatFormat : std::uint8_t { Unknown, Exr, Tiff };

// From the name's extension, case-insensitive: .exr; .tif or .tiff; Unknown for any
// other name.
FloatFormat FloatFormatOf(const std::string& path);

// Whether the name ends in .png, case-insensitive.
bool IsPngName(const std::string& path);

}  // namespace outputs
