#pragma once
// How the export companion says what failed, on standard error, and the exit code
// that goes with it.
#include <cstdio>
#include <string>

#include "status/status.h"

namespace exporter {

inline constexpr const char* kProgram = "umbrascope-export";

// outputs::ReportFailure in this program's name.
void Report(std::FILE* err, const std::string& what, status::Code code, const std::string& why = "");
void Report(std::FILE* err, const std::string& what, const status::Status& failure);

// The exit code of a failure to make or write an output.
int FailureCode(const status::Status& failure);

// "stopped: Ran out of memory"; allocates nothing. Returns kExportOutOfMemory.
int ReportOutOfMemory(std::FILE* err);

}  // namespace exporter
