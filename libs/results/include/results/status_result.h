#pragma once
// Our own status as the tool's result codes, at the tool's edge.
#include "results/result_code.h"
#include "status/status.h"

// The result code the tool reports for `status`: S_OK for Ok, D3DXERR_INVALIDDATA
// for InvalidData, E_FILE_NOT_FOUND, E_PATH_NOT_FOUND, E_ACCESSDENIED,
// E_DISK_FULL, E_NAME_TOO_LONG, E_TOO_MANY_OPEN_FILES, E_OUTOFMEMORY and
// E_INVALIDARG for their namesakes, E_FAIL for Failed. Never fails.
[[nodiscard]] HRESULT ResultOfStatus(const status::Status& status) noexcept;
