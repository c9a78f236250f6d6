#pragma once
// The companion's usage line and its --help text.
#include <string>

namespace exporter {

// The texts are fixed; exhausted memory escapes as std::bad_alloc.

// Printed on standard error when the command line is empty or wrong.
std::string ExportUsage();

// Printed on standard output for --help.
std::string ExportHelp();

// "umbrascope-export <version>\n"
std::string ExportVersion();

}  // namespace exporter
