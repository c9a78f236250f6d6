#pragma once
// The terrain page: one HTML file with its scripts, styles and data inline.
#include <string>

#include "status/status.h"
#include "viewer/page_data.h"

namespace viewer {

// `data` with columns x rows elevations and codes in each direction (at least
// one), `page` not null. Ok with the whole file in `page`; InvalidArgument for
// anything else; OutOfMemory, `page` unchanged.
[[nodiscard]] status::Status MakeViewerPage(const PageData& data, std::string* page);

}  // namespace viewer
