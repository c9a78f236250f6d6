#pragma once
// System errors as result codes.
#include "results/result_code.h"

namespace os {

// The facility-7 result code of an errno value (path not found, access denied, disk
// full, ...); E_OUTOFMEMORY for ENOMEM, E_FAIL for what has no closer code. Any
// value can be passed, 0 included (E_FAIL); the result is never S_OK.
[[nodiscard]] HRESULT ResultFromErrno(int error);

}  // namespace os
