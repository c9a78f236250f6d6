#pragma once
// A grey PNG in memory, by libpng.
#include <cstdint>
#include <vector>

#include "export/grey_preview.h"
#include "results/result_code.h"

namespace exporter {

// S_OK; E_OUTOFMEMORY; E_FAIL when libpng refuses (the image has no pixels).
[[nodiscard]] HRESULT EncodeGreyPng(const GreyImage& image, std::vector<std::uint8_t>* bytes);

}  // namespace exporter
