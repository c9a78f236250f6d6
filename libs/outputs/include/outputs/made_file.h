#pragma once
// An output encoded whole in memory put in place, with its "wrote" or failure line.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "outputs/progress_line.h"
#include "status/status.h"

namespace outputs {

// The program that speaks of its outputs, and where: "wrote" lines on `out`,
// failures on `err`.
struct Voice {
    const char* program;
    std::FILE* out;
    std::FILE* err;
};

// `bytes`, encoded with the status `made` (`why` its words, if any), written at
// `path` by WriteFile (progress on `line`, when given), then "wrote PATH". A failure
// is "PROGRAM: cannot make PATH: ..." (with `why`) or "PROGRAM: cannot write PATH: "
// and the code's words, and is returned; nothing is then written.
[[nodiscard]] status::Status PutMadeFile(const Voice& voice, const std::string& path, const status::Status& made,
                                         const std::string& why, const std::vector<std::uint8_t>& bytes,
                                         ProgressLine* line = nullptr);

}  // namespace outputs
