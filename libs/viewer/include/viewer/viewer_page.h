#pragma once
// The terrain page: one HTML file with its scripts, styles and data inline.
#include <string>

#include "results/result_code.h"
#include "viewer/page_data.h"

namespace viewer {

// `data` with columns x rows elevations and codes in each direction (at least
// one), `page` not null. S_OK with the whole file in `page`; E_INVALIDARG for
// anything else; E_OUTOFMEMORY, `page` unchanged.
[[nodiscard]] HRESULT MakeViewerPage(const PageData& data, std::string* page);

}  // namespace viewer
