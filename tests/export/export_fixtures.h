#pragma once
// What the companion's tests share: generated terrain, the two programs run as a
// user runs them, and readers for the files they write.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "../libs/image/image_fixtures.h"
#include "../support/run_process.h"

// A square terrain: heights for a grey PFM, an 8-bit tree map.
struct Terrain {
    std::uint32_t size = 0;
    std::vector<float> heights;
    std::vector<std::uint16_t> trees;  // 0..255
};

// Hills with a ridge; `treeShare` of the lower texels carry trees.
Terrain MakeTerrain(std::uint32_t size, bool withTrees);

// Writes h.pfm and t.pgm into `dir` and runs umbrascope on them into `dds`;
// `settings` are the -h, -s, -z values as the tool is given them.
ProcessResult MakeHorizonMap(const TempDir& dir, const Terrain& terrain, const std::string& dds,
                             const std::vector<std::string>& settings);

// `beforeExec` runs in the child, as RunProcess runs it.
ProcessResult RunExporter(const std::vector<std::string>& arguments, const std::function<void()>& beforeExec = {});

// The ways a program loses its standard output, each to run in the child before it
// starts: closed; full (/dev/full); a pipe whose reader has gone, SIGPIPE as by default.
std::vector<std::function<void()>> StandardOutputLosses();

// The names in `directory`, sorted.
std::vector<std::string> FileNames(const std::string& directory);

// Level 0 of a DDS file as stored (the 128-byte header skipped).
std::vector<float> DdsLevel0(const std::string& path, std::uint32_t width, std::uint32_t height);

struct ReadPng {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0;
    std::vector<std::uint16_t> samples;  // grey, packed rows
};
ReadPng ReadGreyPng(const std::string& path);

struct ReadFloats {
    std::uint32_t width = 0, height = 0;
    std::vector<std::string> names;
    std::map<std::string, std::vector<float>> planes;
};
// TIFF: the channel names from the image description; EXR: the file's own.
ReadFloats ReadFloatTiff(const std::string& path);
ReadFloats ReadFloatExr(const std::string& path);

// A plane of one channel of RGBA texels.
std::vector<float> Channel(const std::vector<float>& rgba, int channel);
