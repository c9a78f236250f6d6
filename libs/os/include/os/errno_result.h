#pragma once
// System errors met while saving, as our own status.
#include "status/status.h"

namespace os {

// The failure of an errno value met saving a file: status::CodeOfErrno's code,
// except that ENOENT is PathNotFound (a missing directory, since the file itself
// is being made) and EINVAL is Failed (an argument this library chose). The reason
// is left to the caller, who knows the file. Any value can be passed, 0 included
// (Failed); never Ok, never allocates.
[[nodiscard]] status::Status FailureOfErrno(int error) noexcept;

}  // namespace os
