#pragma once
// The lines a companion prints about its outputs: "wrote FILE" on standard output,
// "PROGRAM: WHAT: WHY" on standard error.
#include <cstdio>
#include <string>

#include "status/status.h"

namespace outputs {

// "`program`: `what`: `why`", `why` the code's words (cli::FailureWords) when empty.
void ReportFailure(std::FILE* err, const char* program, const std::string& what, status::Code code,
                   const std::string& why = "");

// "`program`: `what`: " and the status described (its reason, or status::CodeText).
void ReportFailure(std::FILE* err, const char* program, const std::string& what, const status::Status& failure);

// "wrote `path`".
void ReportWrote(std::FILE* out, const std::string& path);

}  // namespace outputs
