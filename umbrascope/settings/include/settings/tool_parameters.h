#pragma once
// The tool's seven parameters, written once: their names, letters, help texts and
// defaults. The intake declares them from here, the settings record takes its
// defaults from here, and the export companion and the tests read the same rows.
#include <cstddef>
#include <cstdint>

// A path buffer of 260 characters with its terminator: longer file names are
// refused, and no companion name may grow past it.
constexpr std::size_t kMaxPathChars = 259;

struct ToolParameter {
    const char* name;         // the long name, also the settings field's name
    char letter;              // the one-letter abbreviation (case matters)
    bool required;            // the parse fails without it
    const char* description;  // the help text of the usage listing
};

// In declaration order, which the usage text follows. The help texts are the
// console's own: "rezolution" and "koeficient" stay as printed.
inline constexpr ToolParameter kToolParameters[] = {
    {"HMfname", 'H', true, "HeightMap  filename"},
    {"TMfname", 'T', true, "TreeMap  filename"},
    {"Outfname", 'o', false, "HorizonMap  filename"},
    {"OutRez", 'r', false, "HorizonMap rezolution"},
    {"Height", 'h', false, "Height koeficient"},
    {"TerraSize", 's', false, "Map size (metres)"},
    {"HeightZero", 'z', false, "Height Zero Point (metres)"},
};

// The usage text's first words.
inline constexpr const char* kToolUsageHeader = "\nUsage: umbrascope.exe ";

// A row of the table by its place, for readers that take single parameters.
enum class ToolParameterId : std::uint8_t { HMfname, TMfname, Outfname, OutRez, Height, TerraSize, HeightZero };
constexpr const ToolParameter& ToolParameterOf(ToolParameterId id) {
    return kToolParameters[static_cast<std::size_t>(id)];
}

// What a parameter that the command line leaves out (or gives empty) stands for.
struct ToolDefaults {
    const char* Outfname;  // NOLINT(readability-identifier-naming): the parameters' names
    std::int32_t OutRez;   // NOLINT(readability-identifier-naming)
    float Height;          // NOLINT(readability-identifier-naming)
    float TerraSize;       // NOLINT(readability-identifier-naming)
    float HeightZero;      // NOLINT(readability-identifier-naming)
};
inline constexpr ToolDefaults kToolDefaults{"horizon_map.dds", 1024, 100.0f, 5000.0f, 0.0f};
