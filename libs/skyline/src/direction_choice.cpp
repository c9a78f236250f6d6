#include "skyline/direction_choice.h"

#include <cmath>
#include <cstdio>

#include "skyline/sampling_model.h"

namespace skyline {

std::vector<double> EvenAzimuths(unsigned count, double start) {
    // Taken modulo 360 first: added to a huge start, the steps would round away.
    const double from = std::fmod(start, 360.0);
    std::vector<double> wanted;
    for (unsigned i = 0; i < count; ++i) wanted.push_back(from + 360.0 * i / count);
    return wanted;
}

std::string MetresText(double size) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::fabs(size));
    return text;
}

std::string DegreesText(double azimuth) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", azimuth);
    return text;
}

status::Status ChooseDirections(const std::vector<double>& wanted, double cellX, double cellY,
                                ChosenDirections* chosen) {
    for (double azimuth : wanted) {
        LatticeDirection d;
        if (!NearestLatticeDirection(azimuth, cellX, cellY, kDirectionTolerance, &d))
            return status::Fail(status::Code::InvalidArgument,
                                "no grid direction lies within 1 degree of azimuth " + DegreesText(azimuth) +
                                    " with cells of " + MetresText(cellX) + " x " + MetresText(cellY) +
                                    " m: their sides are too far from square (grid steps reach 64 cells)");
        chosen->lattice.push_back(d);
        chosen->azimuths.push_back(AzimuthOf(d, cellX, cellY));
    }
    return status::Ok();
}

status::Status CheckCells(double cellX, double cellY, std::uint32_t width, std::uint32_t height, bool curvature) {
    const double x = std::fabs(cellX), y = std::fabs(cellY);
    const std::string cells = "cells of " + MetresText(x) + " x " + MetresText(y) + " m";
    char limit[32];
    switch (FitOfCells(x, y, width, height, curvature)) {
        case CellFit::Fits: return status::Ok();
        case CellFit::TooSmall:
            std::snprintf(limit, sizeof limit, "%g", kSmallestCell);
            return status::Fail(status::Code::InvalidArgument,
                                cells + " are too small: below " + limit + " m, distances along the grid round to nothing");
        case CellFit::TooWideToCurve:
            std::snprintf(limit, sizeof limit, "%g", kWidestCurvedMap);
            return status::Fail(status::Code::InvalidArgument,
                                "with " + cells + " the map is more than " + limit + " m across, too wide for --curvature");
    }
    return status::Fail(status::Code::InvalidArgument, cells);
}

}  // namespace skyline
