#pragma once
// What the sky companion's tests share, beside the export companion's fixtures.
#include <cstdint>
#include <string>
#include <vector>

#include "../export/export_fixtures.h"

// umbrascope-sky run as a user runs it; `beforeExec` runs in the child.
ProcessResult RunSky(std::vector<std::string> arguments, const std::function<void()>& beforeExec = {});

// A 16-bit DEM as GIS tools write it, heights k - 1000 for stored k, texel 3 void.
void WriteInt16Dem(const std::string& path, std::uint32_t width, std::uint32_t height);

// `arguments` with the first "@" of each replaced by `dir`'s path and a slash.
std::vector<std::string> InDir(const TempDir& dir, std::vector<std::string> arguments);
