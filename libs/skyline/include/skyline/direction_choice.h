#pragma once
// The directions a run computes, chosen from the azimuths asked for, and whether
// the arithmetic serves its cells: what every front end (the program, the Python
// package) decides the same way, with the same words.
#include <cstdint>
#include <string>
#include <vector>

#include "skyline/lattice_direction.h"
#include "status/status.h"

namespace skyline {

// How far (degrees) an azimuth may move to reach a lattice direction.
constexpr double kDirectionTolerance = 1.0;

// `count` azimuths (degrees) evenly spaced from `start` modulo 360, in order.
// Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] std::vector<double> EvenAzimuths(unsigned count, double start);

struct ChosenDirections {
    std::vector<LatticeDirection> lattice;
    std::vector<double> azimuths;  // the azimuth each lattice direction has, degrees
};

// The nearest lattice direction to each of `wanted` for cells `cellX` by `cellY`
// metres, signed as AzimuthOf takes them. Ok; InvalidArgument when one lies
// farther than kDirectionTolerance, the reason naming that azimuth and the cells
// (without the program's name), `chosen` then partly filled. Exhausted memory
// escapes as std::bad_alloc.
[[nodiscard]] status::Status ChooseDirections(const std::vector<double>& wanted, double cellX, double cellY,
                                              ChosenDirections* chosen);

// Whether FitOfCells serves cells `cellX` by `cellY` metres (signs ignored) on a
// width x height map. Ok; InvalidArgument with the reason naming the cells.
// Exhausted memory escapes as std::bad_alloc.
[[nodiscard]] status::Status CheckCells(double cellX, double cellY, std::uint32_t width, std::uint32_t height,
                                        bool curvature);

// A cell size as the messages name it ("%g" of its magnitude).
[[nodiscard]] std::string MetresText(double size);

// An azimuth as the messages name it ("%.2f").
[[nodiscard]] std::string DegreesText(double azimuth);

}  // namespace skyline
