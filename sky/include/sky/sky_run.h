#pragma once
// The program's run: read the DEM, sweep the horizons, write every requested file.
#include <cstdio>
#include <string>
#include <vector>

#include "sky/sky_options.h"

namespace sky {

constexpr int kSkySuccess = 0;
constexpr int kSkyBadInput = 2;     // the DEM cannot be read, or memory is too little or ran out
constexpr int kSkyWriteFailed = 6;  // an output name is refused (the DEM, another output), or a file cannot be written
constexpr int kSkyBadCommand = 7;   // no arguments, a bad command line or bad settings

// Checks every output's name and the memory the run needs, reads the DEM, computes,
// then writes each file whole. Names the files written on `out` (a failure to write
// there changes nothing); reports, the directions used and the closing line on
// `err`. Returns one of the codes above; nothing escapes.
[[nodiscard]] int RunSky(const SkyOptions& options, std::FILE* out, std::FILE* err);

// The command line (without the program's name) to the exit code; streams as above.
// --help and --version text that cannot be written to `out` is exit 6.
[[nodiscard]] int SkyMain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace sky
