#pragma once
// What the terrain page carries: a grid sampled from the map, elevations and the
// horizon angle of each direction quantised to 16 bits, and the run's settings.
//
// Angle codes: c <= kAngleCodeFull stands for -90 + c * 180 / kAngleCodeFull
// degrees, so that horizons below the horizontal keep their angle;
// kNoAngleCode + k for a texel of the angle files' kind k that has no angle
// (3 open, 4 tree, 5 edge, 6 unfit). A texel is in cast shadow when the sun,
// standing in a direction, is below its horizon in that direction: under a tree
// always; with an angle code c when (elevation + 90) * kAngleCodeFull / 180 < c.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace viewer {

constexpr std::uint16_t kAngleCodeFull = 65000;  // kHighestAngle; 0 is kLowestAngle
constexpr double kLowestAngle = -90, kHighestAngle = 90;
constexpr std::uint16_t kNoAngleCode = 65000;  // plus the kind
constexpr std::uint8_t kTreeKind = 4;

// Which map texels become the page's grid points: every `stride`-th row and column
// from 0, so each point is one texel of the map.
struct PageGrid {
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
    std::uint32_t stride = 1;
};

// The smallest stride that leaves at most `maxSize` points along either side.
// `width`, `height` and `maxSize` at least 1; a zero is taken as 1.
PageGrid GridFor(std::uint32_t width, std::uint32_t height, std::uint32_t maxSize);

// One direction the sun can stand in, as a step on the map: +1 row is along
// increasing rows (down the image). `codes` holds columns x rows angle codes.
// When every direction has an azimuth (degrees clockwise from grid north, up the
// image), the page sets the sun by azimuth and takes the horizon towards it as
// umbrascope-sky does: linearly between the two directions around it.
struct PageDirection {
    std::string name;     // "forward", "backward"; "azimuth 45.00"
    std::string channel;  // where the map stores it: "red", "green"; "band 2"
    double rowStep = 0;
    double columnStep = 0;
    std::vector<std::uint16_t> codes;
    double azimuth = std::numeric_limits<double>::quiet_NaN();
};

struct PageData {
    std::string mapName;  // shown in the legend
    std::uint32_t mapWidth = 0;
    std::uint32_t mapHeight = 0;
    // Where north and east lie on the map, for a sun set by azimuth: the rows a
    // step north goes (-1 up the image, +1 when south is up) and the columns a
    // step east goes (+1, or -1 when they run west).
    int northRows = -1;
    int eastColumns = 1;
    float height = 0;  // the run's Height, HeightZero and TerraSize
    float heightZero = 0;
    double terraSize = 0;  // beyond a float's range for umbrascope-sky's largest cells
    PageGrid grid;
    std::vector<float> elevations;  // metres, columns x rows, packed rows
    std::vector<PageDirection> directions;
};

// The code of an angle in degrees, rounded to the nearest step and held to
// [-90, 90]; NaN gives the code of 0 degrees.
std::uint16_t AngleCode(double degrees);

// The code of a texel with no angle, from its kind in the angle files (3 to 6).
inline std::uint16_t NoAngleCode(std::uint8_t kind) { return static_cast<std::uint16_t>(kNoAngleCode + kind); }

// The shadow rule above, for a sun `elevationDegrees` high in the code's direction.
bool ShadowedAt(std::uint16_t code, double elevationDegrees);

}  // namespace viewer
