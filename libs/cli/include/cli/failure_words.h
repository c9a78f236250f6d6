#pragma once
// The words a companion prints for a failure that brings no words of its own: those
// its users and scripts have always read, the same as the tool's for the same kind.
#include "status/status.h"

namespace cli {

// "Invalid data", "The system cannot find the file specified", ... without a full
// stop, for `code`. Never null; never fails.
const char* FailureWords(status::Code code) noexcept;

}  // namespace cli
