#pragma once
// The output names a companion may not write, refused in one wording before any
// file is written.
#include <cstdio>
#include <string>
#include <vector>

#include "status/status.h"

namespace outputs {

// The words for an output that is the input `input`: each program names its inputs
// its own way.
using InputWords = std::string (*)(const std::string& input);

// os::CheckOutputNames; a refusal is said as "PROGRAM: cannot write OUTPUT: WHY",
// WHY `inputWords` for an input, "it is the same file as the output EARLIER" for an
// earlier output, else the code's words, and its failure returned.
// Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] status::Status CheckOutputNames(std::FILE* err, const char* program,
                                              const std::vector<std::string>& outputs,
                                              const std::vector<std::string>& inputs, InputWords inputWords);

}  // namespace outputs
