#pragma once
// A result as the companions' messages give it.
#include <string>

#include "results/result_code.h"

namespace platform {

// The result's description without its closing full stop, as bytes. Codes the
// description table lacks but the file system gives (a full disk, a name too long)
// get a text of their own rather than "n/a". Exhausted memory escapes as
// std::bad_alloc.
std::string ResultReason(HRESULT result);

}  // namespace platform
