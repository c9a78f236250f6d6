#pragma once
// The companion's run: read the inputs, then write every requested file.
#include <cstdio>
#include <string>
#include <vector>

#include "export/export_options.h"

namespace exporter {

// The tool's codes where the meaning is the same.
constexpr int kExportSuccess = 0;
constexpr int kExportBadInput = 2;     // an input cannot be read
constexpr int kExportOutOfMemory = 2;  // too little memory for the run, wherever it was found
constexpr int kExportWriteFailed = 6;  // an output name is refused or is an input, or a file cannot be written
constexpr int kExportBadCommand = 7;   // no arguments, a bad command line or bad settings

// Looks at every output name, reads every input and checks that the outputs fit in
// memory first, so that any of these failures writes nothing; then writes each file
// whole. Names the files written on `out`, failures on `err` (both open for
// writing); a failed write to `out` is no failure of the run, whose product is its
// files. Returns one of the codes above. Memory exhausted between the steps, which
// have their own guards, escapes as std::bad_alloc: ExportMain says it as for any
// program (cli::ActOnCommandLine).
[[nodiscard]] int RunExport(const ExportOptions& options, std::FILE* out, std::FILE* err);

// The command line (without the program's name) to the exit code: usage, help,
// version or the run; streams as for RunExport. Help or version text that cannot be
// written is a failed write.
[[nodiscard]] int ExportMain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace exporter
