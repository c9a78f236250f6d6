#pragma once
// What follows from the horizon bands: the sky-view factor and a hillshade with
// cast shadows. The bands are those of ComputeHorizonBands for `azimuths` (degrees
// clockwise from north, any order, each band width * height of the grid); the
// cells `cellX` by `cellY` metres are signed as AzimuthOf takes them (positive:
// up the image is north), which orients each texel's slope the same way.
#include <cstdint>
#include <vector>

#include "encode/grey_image.h"
#include "skyline/sampling_model.h"

namespace skyline {

enum class SvfModel : std::uint8_t { Horizontal, Sloped, Zaksek };

// The texel's own slope S (radians from horizontal) and the azimuth A its surface
// faces, downhill (radians clockwise from north), from central differences of
// its neighbours (one-sided at edges and next to no data; a flat 0 with none).
struct SurfaceOrientation {
    double slope = 0;
    double aspect = 0;
};
[[nodiscard]] SurfaceOrientation OrientationAt(const Grid& grid, double cellX, double cellY, std::int64_t x,
                                               std::int64_t y);

// The same differences as the rise of the texel's surface per metre east and north.
struct SurfaceGradient {
    double east = 0;
    double north = 0;
};
[[nodiscard]] SurfaceGradient GradientAt(const Grid& grid, double cellX, double cellY, std::int64_t x, std::int64_t y);

// The sky-view factor of each texel in [0, 1], kNoData where the texel has none.
// Each direction stands for the sector from halfway to its neighbours, shared
// evenly by directions at the same azimuth; a direction with no horizon (the map's
// edge) counts as open (angle 0). Horizontal: sum of
// w cos^2 max(H, 0). Sloped (after Dozier), with Z = 90 degrees - max(H, 0) the
// zenith angle of the sky's edge: sum of w [cos S sin^2 Z + sin S cos(phi - A)
// (Z - sin Z cos Z)], (1 + cos S) / 2 on a plane of slope S.
// Zaksek: 1 - sum of w sin max(H, 0). Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] std::vector<float> SkyViewFactor(const Grid& grid, double cellX, double cellY,
                                               const std::vector<std::vector<float>>& bands,
                                               const std::vector<double>& azimuths, SvfModel model);

// The sky-view factor summed as the bands come, in the order they are added (so
// the result is the same for the same order): one double a texel for the
// horizontal and zaksek models, three for the sloped one, whose term
// cos(phi - A) is summed in its parts along north and east and the texel's own
// orientation applied at the end. Exhausted memory escapes as std::bad_alloc.
class SkyViewSum {
public:
    // The grid's elevations and `azimuths` must outlive the sum.
    SkyViewSum(const Grid& grid, double cellX, double cellY, const std::vector<double>& azimuths, SvfModel model);
    // Adds direction k's band (width * height angles).
    void add(std::size_t k, const std::vector<float>& band);
    // SkyViewFactor's values from every direction added.
    [[nodiscard]] std::vector<float> result() const;

private:
    Grid grid_;
    double cellX_, cellY_;
    const std::vector<double>& azimuths_;
    std::vector<double> weights_;
    SvfModel model_;
    std::vector<double> sum_, north_, east_;
};

// The two computed directions around an azimuth, and how far it lies from a to b.
struct Bracket {
    std::size_t a = 0, b = 0;
    double t = 0;  // [0, 1)
};
// `azimuths` not empty.
[[nodiscard]] Bracket BracketOf(const std::vector<double>& azimuths, double azimuth);

// The horizon of `texel` towards the bracketed azimuth, interpolated linearly in
// azimuth; a direction with no horizon gives way to the other; -90 where neither
// has one.
[[nodiscard]] double HorizonTowards(const std::vector<std::vector<float>>& bands, const Bracket& bracket,
                                    std::size_t texel);

// A hillshade of `bitDepth` 8 or 16 bits, M its largest sample (255, 65535):
// M x max(0, cos Zs cos S + sin Zs sin S cos(sun - A)) for the sun at `sunAzimuth`,
// `sunElevation` degrees (Zs its zenith angle); 0 where the horizon towards the sun
// rises above its elevation (cast shadow) and where there is no data. Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] encode::GreyImage Hillshade(const Grid& grid, double cellX, double cellY,
                                            const std::vector<std::vector<float>>& bands,
                                            const std::vector<double>& azimuths, double sunAzimuth, double sunElevation,
                                            int bitDepth = 8);

}  // namespace skyline
