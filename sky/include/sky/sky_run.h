#pragma once
// The program's run: read the DEM, sweep the horizons, write every requested file.
#include <cstdio>
#include <string>
#include <vector>

#include "sky/sky_options.h"

namespace sky {

constexpr int kSkySuccess = 0;
constexpr int kSkyBadInput = 2;     // the DEM cannot be read, or memory ran out
constexpr int kSkyWriteFailed = 6;  // an output cannot be made or written
constexpr int kSkyBadCommand = 7;   // no arguments, a bad command line or bad settings

// Reads the DEM, checks every output's name, computes, then writes each file whole.
// Names the files written on `out`; reports, the directions used and the closing
// line on `err`. Returns one of the codes above; nothing escapes.
[[nodiscard]] int RunSky(const SkyOptions& options, std::FILE* out, std::FILE* err);

// The command line (without the program's name) to the exit code; streams as above.
[[nodiscard]] int SkyMain(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace sky
