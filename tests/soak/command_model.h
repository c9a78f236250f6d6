#pragma once
// Command lines for the soak, and what the tool should make of them.
//
// Most are modelled: built from parts whose meaning is written down here (values
// with their known conversions, files known to load or not, output places known
// to be usable or not), so the exit code and the settings of the run are known in
// advance. The rest are chaos: a modelled line mutated at random (stray brackets,
// quotes, long names, odd numbers, words dropped or repeated); for those only the
// general promises hold, and a successful run is checked with the settings the
// tool's own intake reads from the line.
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "settings/tool_parameters.h"
#include "soak_maps.h"

struct ModelSettings {
    std::string heightMap;
    std::string treeMap;
    std::string outName = kToolDefaults.Outfname;
    std::int32_t outRez = kToolDefaults.OutRez;
    float height = kToolDefaults.Height;
    float terraSize = kToolDefaults.TerraSize;
    float heightZero = kToolDefaults.HeightZero;
};

struct SoakCase {
    std::vector<std::string> args;          // the words after the program name
    std::string kind;                       // what was generated, for the summary
    int expectedExit = -1;                  // -1: any of 0..7
    std::optional<ModelSettings> settings;  // known when modelled
    std::vector<std::string> directories;   // to create in the run's directory first
};

class CaseGenerator {
public:
    // `textureLimitBytes`: a texture this big or bigger cannot be had (the memory
    // the machine has), so resolutions that need one must end in exit code 2.
    CaseGenerator(std::uint64_t seed, MapSet maps, std::uint64_t textureLimitBytes);

    SoakCase next();

private:
    SoakCase modelled();
    SoakCase chaotic();
    std::size_t pick(std::size_t count);
    bool chance(double probability);

    std::mt19937_64 random_;
    MapSet maps_;
    std::uint64_t textureLimitBytes_;
};

// The companion file name: ".winter" in front of the last component's extension.
std::string CompanionName(const std::string& outName);
