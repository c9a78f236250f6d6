#pragma once
// The usage line, --help text and version of umbrascope-sky. Fixed texts; exhausted
// memory escapes as std::bad_alloc.
#include <string>

namespace sky {

std::string SkyUsage();    // on standard error when the command line is empty or wrong
std::string SkyHelp();     // on standard output for --help
std::string SkyVersion();  // "umbrascope-sky <version>\n"

}  // namespace sky
