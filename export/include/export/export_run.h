#pragma once
// The companion's run: read the inputs, then write every requested file.
#include <cstdio>
#include <string>
#include <vector>

#include "export/export_options.h"

namespace exporter {

// The tool's codes where the meaning is the same.
constexpr int kExportSuccess = 0;
constexpr int kExportBadInput = 2;     // an input cannot be read, or memory ran out reading it
constexpr int kExportWriteFailed = 6;  // an output cannot be made or written
constexpr int kExportBadCommand = 7;   // no arguments, a bad command line or bad settings

// Reads everything first, so a bad input writes nothing; then writes each file
// whole. Names the files written on `out`, failures on `err` (both open for
// writing). Returns one of the codes above; nothing escapes.
[[nodiscard]] int RunExport(const ExportOptions& options, std::FILE* out, std::FILE* err);

// The command line (without the program's name) to the exit code: usage, help,
// version or the run; streams as for RunExport.
[[nodiscard]] int ExportMain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace exporter
