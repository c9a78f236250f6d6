#pragma once
// Whether a program's output names may all be written: looked at before the first
// file is written, so that a refused name leaves every file as it was.
#include <string>
#include <vector>

#include "status/status.h"

namespace os {

// Why an output name was refused.
struct OutputRefusal {
    std::string output;
    std::string input;    // the input file the output would replace; empty otherwise
    std::string earlier;  // the earlier output it would write over; empty otherwise
};

// Each name in `outputs` must be a name a save may take (ResolveSaveTarget), none
// may lead to the same file as any of `inputs`, and no two may be saved into one
// file: an existing file is known by its device and inode (any spelling, symbolic
// and hard links lead to it), a new one by its directory's and its name, after the
// links a save follows. Ok; otherwise the first refusal's failure (AccessDenied
// for an input or an earlier output), with its names in `refusal` (not null).
// Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] status::Status CheckOutputNames(const std::vector<std::string>& outputs,
                                              const std::vector<std::string>& inputs, OutputRefusal* refusal);

}  // namespace os
