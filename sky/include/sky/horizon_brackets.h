#pragma once
// The computed directions around any azimuth, for many azimuths: the directions
// put in order once.
#include <cstddef>
#include <vector>

#include "skyline/derived_products.h"

namespace sky {

class HorizonBrackets {
public:
    // `azimuths` (degrees clockwise from the DEM's north) not empty.
    explicit HorizonBrackets(const std::vector<double>& azimuths);
    // skyline::BracketOf of `azimuth` (degrees).
    [[nodiscard]] skyline::Bracket at(double azimuth) const;
    // The directions by azimuth, and the place in that order of the bracket's first
    // direction around `azimuth` (degrees) with how far it lies towards the next.
    [[nodiscard]] const std::vector<std::size_t>& order() const { return order_; }
    struct Place {
        std::size_t before = 0;
        double t = 0;
    };
    [[nodiscard]] Place placeOf(double azimuth) const;

private:
    std::vector<std::size_t> order_;
    std::vector<double> wrapped_;
};

}  // namespace sky
